#include "support/Leftovers.h"

#include "support/FileHelpers.h"

#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/core/AppUtils.h"
#include "foundation/core/Prompt.h"
#include "foundation/files/TrainingFiles.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QMap>
#include <QPointer>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <clocale>
#include <string>

namespace {

QString Describe(const QObject* object) {
    if (object == QThread::currentThread()) return QStringLiteral("without a context object");
    if (object == QCoreApplication::instance()) return QStringLiteral("to the application object");
    QString text = QStringLiteral("to a %1").arg(QLatin1String(object->metaObject()->className()));
    if (!object->objectName().isEmpty()) text += QStringLiteral(" \"%1\"").arg(object->objectName());
    return text;
}

// An object of the library's own that lives on; the application and thread objects only carry
// calls made without a context of their own.
bool LibraryOwn(const QObject* object) {
    return object != QCoreApplication::instance() && object != QThread::currentThread() &&
           object->metaObject()->className()[0] == 'Q';
}

// Swallows the queued calls still waiting, so that none runs into a test it does not belong to,
// and names them. The library's own objects that live on (its animation timer) get theirs. A
// quit posted when the last window closed under exec would end every later modal loop at once.
class TQueuedCalls : public QObject {
public:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        ++Delivered;
        if (event->type() == QEvent::Quit) {
            Found << QStringLiteral("a posted quit");
            return true;
        }
        if (event->type() != QEvent::MetaCall || LibraryOwn(receiver)) return false;
        Found << QStringLiteral("a queued call %1").arg(Describe(receiver));
        return true;
    }
    int Delivered = 0;
    QStringList Found;
};

// Posted events until none is left: objects freed with deleteLater go (which may free others),
// queued calls are dropped.
QStringList FlushPostedEvents() {
    TQueuedCalls calls;
    QCoreApplication::instance()->installEventFilter(&calls);
    for (int round = 0; round < 10; ++round) {
        calls.Delivered = 0;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::sendPostedEvents(nullptr, 0);
        if (calls.Delivered == 0) break;
    }
    QCoreApplication::instance()->removeEventFilter(&calls);
    return calls.Found;
}

// A quit asked while no loop ran (an unattended close outside exec) makes every later loop
// return at once, unrun; the application's own loop takes it.
QStringList EndUnrunQuit() {
    QEventLoop probe;
    QTimer::singleShot(0, &probe, [&probe] { probe.exit(0); });
    if (probe.exec() != -1) return {};
    QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    return {QStringLiteral("a quit with no loop to end")};
}

// Single-shot timers made without an object to stop them: the event dispatcher keeps them.
QStringList StopSingleShotTimers() {
    QStringList found;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher) return found;
    for (QObject* child : dispatcher->children())
        if (qstrcmp(child->metaObject()->className(), "QSingleShotTimer") == 0) {
            found << QStringLiteral("a single-shot timer");
            delete child;
        }
    return found;
}

// Named contents: the files of a folder, the environment's variables.
using TNamed = QMap<QString, QByteArray>;

TNamed ReadFiles(const QString& root) {
    TNamed files;
    for (const QString& name : FilesUnder(root))
        files.insert(name, ReadAllBytes(QDir(root).filePath(name)));
    return files;
}

TNamed ReadEnvironment() {
    TNamed variables;
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& name : environment.keys())
        variables.insert(name, environment.value(name).toLocal8Bit());
    return variables;
}

// What differs from `before`, each named and put back: `put` gets the old contents, or none to
// remove what was added.
QStringList PutBack(const QString& what, const TNamed& before, const TNamed& now,
                    const std::function<void(const QString& name, const QByteArray* contents)>& put) {
    QStringList found;
    for (auto it = now.begin(); it != now.end(); ++it)
        if (!before.contains(it.key())) {
            found << QStringLiteral("%1 %2 added").arg(what, it.key());
            put(it.key(), nullptr);
        }
    for (auto it = before.begin(); it != before.end(); ++it)
        if (!now.contains(it.key()) || now.value(it.key()) != it.value()) {
            found << QStringLiteral("%1 %2 changed").arg(what, it.key());
            put(it.key(), &it.value());
        }
    return found;
}

} // namespace

TLeftovers::TLeftovers(const QString& home) {
    auto files = std::make_shared<TNamed>();
    auto environment = std::make_shared<TNamed>();
    auto librarySettings = std::make_shared<std::unique_ptr<QTemporaryDir>>();
    BeforeEach([home, files, environment, librarySettings] {
        *files = ReadFiles(home);
        *environment = ReadEnvironment();
        RestartTrainingColors();
        // The library's own settings (a file dialog's last folder) start empty, as in a new home;
        // it reads the folder once per process, so a test's HOME does not move them.
        *librarySettings = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, (*librarySettings)->path());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, (*librarySettings)->path());
    });
    FKept.push_back([home, files] {
        return PutBack(QStringLiteral("file"), *files, ReadFiles(home),
                       [&home](const QString& name, const QByteArray* contents) {
                           const QString file = QDir(home).filePath(name);
                           if (contents)
                               WriteAllBytes(file, *contents);
                           else
                               QFile::remove(file);
                       });
    });
    FKept.push_back([environment] {
        return PutBack(QStringLiteral("environment variable"), *environment, ReadEnvironment(),
                       [](const QString& name, const QByteArray* contents) {
                           const QByteArray variable = name.toLocal8Bit();
                           if (contents)
                               qputenv(variable.constData(), *contents);
                           else
                               qunsetenv(variable.constData());
                       });
    });
    Keep<QString>("the current folder", &QDir::currentPath,
                  [](const QString& path) { QDir::setCurrent(path); });
    Keep<std::string>(
        "the locale", [] { return std::string(std::setlocale(LC_ALL, nullptr)); },
        [](const std::string& locale) { std::setlocale(LC_ALL, locale.c_str()); });
    Keep<TPrompt*>("the prompt", &GetPrompt, [](TPrompt* const& prompt) { SetPrompt(prompt); });
    Keep("RollingCount", RollingCount);
    Keep("VirtualMachine", VirtualMachine);
    Keep("VirtualMachineName", VirtualMachineName);
}

void TLeftovers::BeforeEach(std::function<void()> step) {
    FBefore.push_back(std::move(step));
}

void TLeftovers::AfterEach(std::function<QStringList()> check) {
    FAfter.push_back(std::move(check));
}

void TLeftovers::OnTestStart(const ::testing::TestInfo&) {
    for (const auto& step : FBefore)
        step();
}

QStringList TLeftovers::Clear() {
    QStringList found;
    for (const auto& check : FAfter)
        found << check();
    found << StopSingleShotTimers();
    found << FlushPostedEvents();
    found << EndUnrunQuit();
    for (const auto& check : FKept)
        found << check();
    return found;
}

void TLeftovers::OnTestEnd(const ::testing::TestInfo&) {
    for (const QString& line : Clear())
        ADD_FAILURE() << "left behind: " << line.toStdString();
}
