// The built program, started as a process with its own home and runtime folders.
#include "support/QtPrinters.h"
#include "support/FileHelpers.h"
#include "foundation/files/FileIo.h"
#include "foundation/files/TrainingFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef KV_PROGRAM_PATH

namespace {

constexpr int kFinishMs = 60000;

class ProgramTest : public ::testing::Test {
protected:
    QTemporaryDir root;

    // A user is a home folder below the root ("home" unless said otherwise).
    QProcessEnvironment Environment(const QString& user = QStringLiteral("home")) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString r = root.path();
        const QString home = r + QLatin1Char('/') + user;
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), r + QStringLiteral("/run"));
        env.insert(QStringLiteral("TMPDIR"), r + QStringLiteral("/tmp"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("KVWT_SPLASH_MS"), QStringLiteral("0"));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=") + r + QStringLiteral("/no-bus"));
        env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        return env;
    }

    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("home"))));
        ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("run"))));
        ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("tmp"))));
        QFile::setPermissions(root.filePath(QStringLiteral("run")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    // A copy of the program in a folder of its own, made once per test. The program writes its
    // folder (readme.txt, the settings file when the user's cannot be written) and moves the
    // files found there into the user's folder: the build folder would pass them between tests.
    QString CopyProgram() const
    {
        const QString folder = root.filePath(QStringLiteral("bin"));
        QDir().mkpath(folder);
        const QString copy = folder + QStringLiteral("/kvwt");
        const QByteArray source = QFile::encodeName(QStringLiteral(KV_PROGRAM_PATH));
        if (!QFile::exists(copy) && ::link(source.constData(), QFile::encodeName(copy).constData()) != 0)
            QFile::copy(QStringLiteral(KV_PROGRAM_PATH), copy);
        return copy;
    }

    std::unique_ptr<QProcess> Start(const QStringList& args, QString program = QString(),
                                    const QString& user = QStringLiteral("home"),
                                    std::function<void()> inChild = nullptr)
    {
        if (program.isEmpty())
            program = CopyProgram();
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(Environment(user));
        if (inChild)
            p->setChildProcessModifier(inChild);
        p->setWorkingDirectory(root.path());
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(program, args);
        EXPECT_TRUE(p->waitForStarted(kFinishMs));
        return p;
    }

    // Reads the output until it holds every text (or the program ends or stays silent).
    static bool WaitForOutput(QProcess& p, QByteArray& output, const QList<QByteArray>& texts)
    {
        const auto all = [&] {
            return std::all_of(texts.begin(), texts.end(), [&](const QByteArray& t) { return output.contains(t); });
        };
        while (!all()) {
            if (!p.waitForReadyRead(kFinishMs))
                break;
            output += p.readAll();
        }
        return all();
    }

    static void Stop(QProcess& p)
    {
        p.kill();
        p.waitForFinished(kFinishMs);
    }

    // What lies in the runtime folder, sockets included.
    QStringList RunEntries() const
    {
        return QDir(root.filePath(QStringLiteral("run")))
            .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    // A training file in the root folder: a missing one would stop the program at its message.
    // A modified one opens as a training edited and not saved.
    void WriteTraining(const QString& name, bool modified = false) const
    {
        TTraining training;
        LoadDefaultTraining(training);
        SetStrokeCount(training, 3);
        training.Header.Modified = modified ? 1 : 0;
        ASSERT_TRUE(WriteStgFile(root.filePath(name), training));
    }

    // Started with the demo rowed at once (and disconnected after that many strokes).
    std::unique_ptr<QProcess> StartDemo(const QStringList& args, int disconnectAt = 0,
                                        std::function<void()> inChild = nullptr,
                                        const QString& user = QStringLiteral("home"))
    {
        qputenv("KVWT_START_DEMO", "1");
        qputenv("KVWT_DEMO_DISCONNECT_AT", QByteArray::number(disconnectAt));
        auto p = Start(args, QString(), user, std::move(inChild));
        qunsetenv("KVWT_START_DEMO");
        qunsetenv("KVWT_DEMO_DISCONNECT_AT");
        return p;
    }

    // Ends the program by SIGTERM; its output up to the end is added.
    static void Terminate(QProcess& p, QByteArray& output)
    {
        ASSERT_EQ(::kill(pid_t(p.processId()), SIGTERM), 0);
        ASSERT_TRUE(p.waitForFinished(kFinishMs)) << output.toStdString();
        output += p.readAll();
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << output.toStdString();
        EXPECT_EQ(p.exitCode(), 0);
    }

    // The names after each "<what> was kept in " of the output.
    static QStringList KeptFiles(const QByteArray& output)
    {
        QStringList names;
        const QByteArray marker = " was kept in ";
        for (qsizetype at = output.indexOf(marker); at >= 0; at = output.indexOf(marker, at + 1)) {
            const qsizetype from = at + marker.size();
            names << QString::fromLocal8Bit(output.mid(from, output.indexOf('\n', from) - from));
        }
        return names;
    }

    QString DataFolder(const QString& user = QStringLiteral("home")) const
    {
        return root.filePath(user + QStringLiteral("/Documents/Kavelo/Kavelo Training"));
    }

    // The line the program logs when it opens the named file of the root folder.
    QByteArray Opening(const char* name) const
    {
        return "Opening file \"" + QFile::encodeName(root.filePath(QLatin1String(name))) + "\"";
    }

    QString SettingsFile() const
    {
        return DataFolder() + QStringLiteral("/kvwt.ini");
    }
};

}  // namespace

// The switches answer and end without a window, so with no settings file and no socket. -X+
// registers the file types; both write the readme, or only touch one that is there.
TEST_F(ProgramTest, SwitchesAnswerAndEndWithoutAWindow)
{
    const QString program = CopyProgram();
    const QString readme = QFileInfo(program).absolutePath() + QStringLiteral("/readme.txt");
    const auto run = [&](const char* option) {
        auto p = Start({QLatin1String(option)}, program);
        EXPECT_TRUE(p->waitForFinished(kFinishMs));
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 0) << option;
        return p->readAll();
    };
    const QByteArray version = "Kavelo Training 1.0.0.0\n";
    EXPECT_TRUE(run("--help").contains("usage: kvwt [FILE...]"));
    EXPECT_EQ(run("--version"), version);
    // An answer that cannot be written is no success.
    for (const QString& option : {QStringLiteral("--help"), QStringLiteral("--version")}) {
        QProcess full;
        full.setProcessEnvironment(Environment());
        full.setStandardOutputFile(QStringLiteral("/dev/full"));
        full.start(program, {option});
        ASSERT_TRUE(full.waitForFinished(kFinishMs));
        EXPECT_EQ(full.exitCode(), 1) << option.toStdString();
        EXPECT_TRUE(full.readAllStandardError().contains("No space left on device")) << option.toStdString();
    }
    EXPECT_FALSE(QFile::exists(readme));
    run("-X+");
    EXPECT_EQ(ReadAllBytes(readme), version);
    EXPECT_FALSE(FilesUnder(root.filePath(QStringLiteral("home/.local/share"))).isEmpty());
    ASSERT_TRUE(QFile::remove(readme));
    run("/XD");
    EXPECT_EQ(ReadAllBytes(readme), version);

    // An existing readme keeps its text and gets a new date.
    ASSERT_TRUE(WriteAllBytes(readme, "mine\n"));
    {
        QFile f(readme);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5)), QFileDevice::FileModificationTime));
    }
    run("-xd");
    EXPECT_EQ(ReadAllBytes(readme), "mine\n");
    EXPECT_GT(QFileInfo(readme).lastModified().date().year(), 2001);
    EXPECT_FALSE(QFile::exists(SettingsFile()));
    EXPECT_TRUE(RunEntries().isEmpty());
}

TEST_F(ProgramTest, TwoCopiesStartedTogetherShareOneWindow)
{
    WriteTraining(QStringLiteral("one.stg"));
    WriteTraining(QStringLiteral("two.stg"));
    auto a = Start({QStringLiteral("one.stg")});
    auto b = Start({QStringLiteral("two.stg")});
    // One of them hands its file over and ends; the other keeps running with both files.
    QProcess* ended = nullptr;
    QProcess* running = nullptr;
    while (!ended) {
        if (a->waitForFinished(50))
            ended = a.get(), running = b.get();
        else if (b->waitForFinished(50))
            ended = b.get(), running = a.get();
        ASSERT_FALSE(a->state() == QProcess::NotRunning && b->state() == QProcess::NotRunning && !ended);
    }
    EXPECT_EQ(ended->exitCode(), 0);
    EXPECT_EQ(running->state(), QProcess::Running);
    QByteArray output = running->readAll();
    EXPECT_TRUE(WaitForOutput(*running, output, {Opening("one.stg"), Opening("two.stg")})) << output.toStdString();
    Stop(*running);
}

TEST_F(ProgramTest, ACrashedCopysSocketIsTakenOverAndOptionsStayThere)
{
    WriteTraining(QStringLiteral("three.stg"));
    WriteTraining(QStringLiteral("four.stg"));
    auto first = Start({});
    QByteArray output;
    ASSERT_TRUE(WaitForOutput(*first, output, {"listening on"})) << output.toStdString();
    first->kill();  // SIGKILL: the socket file stays behind
    ASSERT_TRUE(first->waitForFinished(kFinishMs));
    ASSERT_TRUE(RunEntries().contains(QStringLiteral("Kavelo-Training.socket"))) << RunEntries().join(' ').toStdString();

    auto restarted = Start({});
    output.clear();
    ASSERT_TRUE(WaitForOutput(*restarted, output, {"listening on"})) << output.toStdString();
    // An option is said and never handed over as a file.
    auto second = Start({QStringLiteral("--frobnicate"), QStringLiteral("three.stg"),
                         root.filePath(QStringLiteral("four.stg"))});
    ASSERT_TRUE(second->waitForFinished(kFinishMs));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(second->readAll().contains("unknown option --frobnicate"));
    EXPECT_TRUE(WaitForOutput(*restarted, output, {Opening("three.stg"), Opening("four.stg")})) << output.toStdString();
    EXPECT_LT(output.indexOf(Opening("three.stg")), output.indexOf(Opening("four.stg")));
    EXPECT_FALSE(output.contains("Opening file \"--")) << output.toStdString();
    Stop(*restarted);
}

// A running copy that takes nothing (here stopped) does not swallow a second copy's files: the
// second copy says why and opens them itself.
TEST_F(ProgramTest, ASecondCopyOpensItsFilesWhenTheRunningOneDoesNotAnswer)
{
    WriteTraining(QStringLiteral("six.stg"));
    auto first = Start({});
    QByteArray output;
    ASSERT_TRUE(WaitForOutput(*first, output, {"listening on", "Orderly end on"})) << output.toStdString();
    ASSERT_EQ(::kill(pid_t(first->processId()), SIGSTOP), 0);
    qputenv("KVWT_INSTANCE_WAIT_MS", "300");
    auto second = Start({QStringLiteral("six.stg")});
    qunsetenv("KVWT_INSTANCE_WAIT_MS");
    QByteArray said;
    EXPECT_TRUE(WaitForOutput(*second, said, {"did not answer", Opening("six.stg")})) << said.toStdString();
    EXPECT_EQ(second->state(), QProcess::Running);
    Stop(*second);
    ::kill(pid_t(first->processId()), SIGCONT);
    Stop(*first);
}

// SIGTERM and SIGINT close the program as its menu would, without the exit question: the
// settings and statistics are saved and the single-instance socket is gone.
TEST_F(ProgramTest, EndedBySignalItSavesAndRemovesItsSocket)
{
    // What a copy killed in the middle of a save of its settings left goes at the next start.
    const QString stale = QFileInfo(SettingsFile()).absolutePath() + QStringLiteral("/.kvwt.ini.part-Ab3dE9");
    ASSERT_TRUE(WriteAllBytes(stale, QByteArray("[Statistics]\n")));
    int run = 0;
    for (const int signo : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signo);
        ++run;
        auto p = Start({QStringLiteral("one.stg")});
        QByteArray output;
        ASSERT_TRUE(WaitForOutput(*p, output, {"Orderly end on", "Opening file"})) << output.toStdString();
        ASSERT_TRUE(RunEntries().contains(QStringLiteral("Kavelo-Training.socket")));
        ASSERT_EQ(::kill(pid_t(p->processId()), signo), 0);
        ASSERT_TRUE(p->waitForFinished(kFinishMs));
        output += p->readAll();
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit) << output.toStdString();
        EXPECT_EQ(p->exitCode(), 0);
        EXPECT_TRUE(output.contains("Ending in order: " + QByteArray(signo == SIGTERM ? "SIGTERM" : "SIGINT")));
        const QByteArray ini = ReadAllBytes(SettingsFile());
        const QByteArray started = "TimesStarted=" + QByteArray::number(run);
        for (const QByteArray& text : QList<QByteArray>{"[Statistics]", started, "RunningTime=", "[Position]"})
            EXPECT_TRUE(ini.contains(text)) << ini.toStdString();
        EXPECT_FALSE(RunEntries().contains(QStringLiteral("Kavelo-Training.socket"))) << RunEntries().join(' ').toStdString();
        EXPECT_FALSE(QFile::exists(stale));
    }
}

// A demo session in progress when the program is ended from outside is closed in order and
// written to the user data folder; the next start says where it is.
TEST_F(ProgramTest, SigtermMidDemoKeepsTheSession)
{
    qputenv("KVWT_START_DEMO", "1");
    auto p = Start({});
    qunsetenv("KVWT_START_DEMO");
    QByteArray output;
    ASSERT_TRUE(WaitForOutput(*p, output, {"Orderly end on", "Row: stroke 1"})) << output.toStdString();
    ASSERT_EQ(::kill(pid_t(p->processId()), SIGTERM), 0);
    ASSERT_TRUE(p->waitForFinished(kFinishMs));
    output += p->readAll();
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit) << output.toStdString();
    EXPECT_EQ(p->exitCode(), 0);
    const QByteArray marker = "the session in progress was kept in ";
    const qsizetype at = output.indexOf(marker);
    ASSERT_GE(at, 0) << output.toStdString();
    const qsizetype end = output.indexOf('\n', at);
    const QString kept = QString::fromLocal8Bit(output.mid(at + marker.size(), end - at - marker.size()));
    EXPECT_TRUE(kept.startsWith(QFileInfo(SettingsFile()).path())) << kept.toStdString();
    TTraining training;
    ASSERT_TRUE(OpenTrainingFile(kept, training, false, nullptr)) << kept.toStdString();
    ASSERT_GE(training.StrokeData.size(), 2u);
    EXPECT_EQ(training.StrokeData[1].Number, 1);
    EXPECT_EQ(training.Header.ContentKind, kContentKindTraining);  // kept as a save keeps it
    EXPECT_GT(training.Workout.Distance, 0);
    EXPECT_TRUE(ReadAllBytes(SettingsFile()).contains("[Rescue]"));

    // The next start says where it is, once.
    auto next = Start({});
    QByteArray said;
    ASSERT_TRUE(WaitForOutput(*next, said, {"has been kept in"})) << said.toStdString();
    EXPECT_TRUE(said.contains(kept.toLocal8Bit()));
    ASSERT_EQ(::kill(pid_t(next->processId()), SIGTERM), 0);
    ASSERT_TRUE(next->waitForFinished(kFinishMs));
    EXPECT_FALSE(ReadAllBytes(SettingsFile()).contains("[Rescue]"));
}

// An update that a replacement could not install is said at the next start, once.
TEST_F(ProgramTest, TheNextStartSaysWhyTheUpdateWasNotInstalled)
{
    const QString program = CopyProgram();
    ASSERT_TRUE(WriteAllBytes(program + QStringLiteral(".update-failed"), "The program did not end in time\n"));
    auto p = Start({}, program);
    QByteArray output;
    ASSERT_TRUE(WaitForOutput(*p, output, {"The update was not installed.\nThe program did not end in time"}))
        << output.toStdString();
    ASSERT_EQ(::kill(pid_t(p->processId()), SIGTERM), 0);
    ASSERT_TRUE(p->waitForFinished(kFinishMs));
    EXPECT_FALSE(QFile::exists(program + QStringLiteral(".update-failed")));
}

// Ended from outside with a disconnected session and an edited training open, the program asks
// nothing: each is written to a new file of the data folder, the edited one's file stays as it
// was, and the next start names each file once.
TEST_F(ProgramTest, SigtermKeepsEveryModifiedTrainingWithoutAsking)
{
    WriteTraining(QStringLiteral("edited.stg"), true);
    WriteTraining(QStringLiteral("plain.stg"));
    const QByteArray original = ReadAllBytes(root.filePath(QStringLiteral("edited.stg")));
    auto p = StartDemo({QStringLiteral("edited.stg")}, 3);
    QByteArray output;
    ASSERT_TRUE(WaitForOutput(*p, output, {Opening("edited.stg"), "Row: disconnecting"})) << output.toStdString();
    Terminate(*p, output);
    const QStringList kept = KeptFiles(output);
    ASSERT_EQ(kept.size(), 2) << output.toStdString();
    EXPECT_TRUE(output.contains("the session in progress was kept in")) << output.toStdString();
    for (const QString& name : kept) {
        EXPECT_EQ(QFileInfo(name).absolutePath(), DataFolder()) << name.toStdString();
        TTraining training;
        ASSERT_TRUE(OpenTrainingFile(name, training, false, nullptr)) << name.toStdString();
        EXPECT_GE(training.StrokeData.size(), 4u) << name.toStdString();
    }
    EXPECT_EQ(ReadAllBytes(root.filePath(QStringLiteral("edited.stg"))), original);

    // Named at the next start, each once (its message waits for the user); not at the one after.
    for (const int count : {1, 0}) {
        auto next = Start({QStringLiteral("plain.stg")});
        QByteArray said;
        QList<QByteArray> expected{count ? QByteArray("have been kept in:") : Opening("plain.stg")};
        for (const QString& name : kept)
            if (count)
                expected << name.toLocal8Bit();
        ASSERT_TRUE(WaitForOutput(*next, said, expected)) << said.toStdString();
        Terminate(*next, said);
        for (const QString& name : kept)
            EXPECT_EQ(said.count(name.toLocal8Bit()), count) << said.toStdString();
        EXPECT_TRUE(KeptFiles(said).isEmpty()) << said.toStdString();
    }
}

// When the data folder cannot take the session (here it is a file), the system's temporary
// folder does; under a file size limit too small for it, the program still ends and says so.
TEST_F(ProgramTest, ARescueThatCannotBeWrittenWhereMeantNeverWaits)
{
    qint64 sessionSize = 0;
    {
        auto p = StartDemo({}, 3);
        QByteArray output;
        ASSERT_TRUE(WaitForOutput(*p, output, {"Row: disconnecting"})) << output.toStdString();
        const QString data = DataFolder();
        ASSERT_TRUE(QDir().rename(data, data + QStringLiteral(".away")));
        ASSERT_TRUE(WriteAllBytes(data, "not a folder"));
        Terminate(*p, output);
        const QStringList kept = KeptFiles(output);
        ASSERT_EQ(kept.size(), 1) << output.toStdString();
        EXPECT_EQ(QFileInfo(kept[0]).absolutePath(), root.filePath(QStringLiteral("tmp")));
        TTraining training;
        EXPECT_TRUE(OpenTrainingFile(kept[0], training, false, nullptr)) << kept[0].toStdString();
        sessionSize = QFileInfo(kept[0]).size();
        ASSERT_TRUE(QFile::remove(kept[0]));
        ASSERT_TRUE(QFile::remove(data));
        ASSERT_TRUE(QDir().rename(data + QStringLiteral(".away"), data));
    }
    {
        // Half the size of such a session: it fits nowhere.
        const auto limit = rlim_t(sessionSize / 2);
        auto p = StartDemo({}, 3, [limit] {
            const rlimit l{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &l);
        });
        QByteArray output;
        ASSERT_TRUE(WaitForOutput(*p, output, {"Row: disconnecting"})) << output.toStdString();
        Terminate(*p, output);
        EXPECT_TRUE(output.contains("the session in progress could not be kept")) << output.toStdString();
        // Nothing cut is left behind.
        for (const QString& folder : {DataFolder(), root.filePath(QStringLiteral("tmp"))})
            for (const QString& name : FilesUnder(folder))
                EXPECT_FALSE(name.contains(QStringLiteral(".stg"))) << name.toStdString();
    }
}

// Two copies ended at the same moment keep two files, never one over the other. Both are held
// while they get the signal and go on together, so that they race for the same name.
TEST_F(ProgramTest, TwoCopiesEndedTogetherKeepTwoFiles)
{
    // Each round is a user of its own: the next start would wait at the message naming the files.
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE(round);
        const QString user = QStringLiteral("home%1").arg(round);
        ASSERT_TRUE(WriteAllBytes(DataFolder(user) + QStringLiteral("/kvwt.ini"), "[Options]\nMultipleCopies=1\n"));
        auto a = StartDemo({}, 0, nullptr, user);
        auto b = StartDemo({}, 0, nullptr, user);
        QByteArray outA, outB;
        ASSERT_TRUE(WaitForOutput(*a, outA, {"Row: stroke 1"})) << outA.toStdString();
        ASSERT_TRUE(WaitForOutput(*b, outB, {"Row: stroke 1"})) << outB.toStdString();
        const pid_t pids[] = {pid_t(a->processId()), pid_t(b->processId())};
        for (const int signo : {SIGSTOP, SIGTERM, SIGCONT})
            for (const pid_t pid : pids)
                ASSERT_EQ(::kill(pid, signo), 0);
        ASSERT_TRUE(a->waitForFinished(kFinishMs));
        ASSERT_TRUE(b->waitForFinished(kFinishMs));
        outA += a->readAll();
        outB += b->readAll();
        ASSERT_EQ(KeptFiles(outA).size(), 1) << outA.toStdString();
        ASSERT_EQ(KeptFiles(outB).size(), 1) << outB.toStdString();
        EXPECT_NE(KeptFiles(outA)[0], KeptFiles(outB)[0]);
        EXPECT_EQ(QDir(DataFolder(user)).entryList({QStringLiteral("Session *.stg")}).size(), 2);
    }
}

// Settings that fell back to the program folder carry the first user's rescue note; another
// user's start takes that file over but is not told of the first user's session.
TEST_F(ProgramTest, ARescueNoteIsShownOnlyToItsUser)
{
    ASSERT_TRUE(QDir().mkpath(DataFolder()));
    ASSERT_EQ(::mkfifo(QFile::encodeName(SettingsFile()).constData(), 0600), 0);
    WriteTraining(QStringLiteral("plain.stg"));
    auto p = StartDemo({});
    QByteArray output;
    ASSERT_TRUE(WaitForOutput(*p, output, {"Row: stroke 1"})) << output.toStdString();
    Terminate(*p, output);
    ASSERT_EQ(KeptFiles(output).size(), 1) << output.toStdString();
    ASSERT_TRUE(ReadAllBytes(root.filePath(QStringLiteral("bin/kvwt.ini"))).contains("[Rescue]"));

    ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("other"))));
    auto other = Start({QStringLiteral("plain.stg")}, QString(), QStringLiteral("other"));
    QByteArray said;
    ASSERT_TRUE(WaitForOutput(*other, said, {Opening("plain.stg")})) << said.toStdString();
    Terminate(*other, said);
    EXPECT_FALSE(said.contains("kept in")) << said.toStdString();
}

TEST_F(ProgramTest, ASettingsFileThatIsAFifoDoesNotHoldTheStart)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(SettingsFile()).absolutePath()));
    ASSERT_EQ(::mkfifo(QFile::encodeName(SettingsFile()).constData(), 0600), 0);
    auto p = Start({});
    QByteArray output;
    ASSERT_TRUE(WaitForOutput(*p, output, {"Orderly end on"})) << output.toStdString();
    p->terminate();
    ASSERT_TRUE(p->waitForFinished(kFinishMs));
    EXPECT_EQ(p->exitCode(), 0);
    struct stat st{};
    ASSERT_EQ(::stat(QFile::encodeName(SettingsFile()).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    // The settings went to the program's folder instead, the second place they are looked for.
    EXPECT_TRUE(ReadAllBytes(root.filePath(QStringLiteral("bin/kvwt.ini"))).contains("TimesStarted=1"));
}

// A program file replaced while the program runs (an update, a rebuild) keeps its settings
// file: the name is not read back as "kvwt (deleted)".
TEST_F(ProgramTest, ReplacedWhileRunningItKeepsItsSettingsFile)
{
    auto p = Start({});
    QByteArray output;
    ASSERT_TRUE(WaitForOutput(*p, output, {"Orderly end on"})) << output.toStdString();
    const QString program = CopyProgram();
    ASSERT_TRUE(QFile::copy(program, program + QStringLiteral(".new")));
    ASSERT_EQ(::rename(QFile::encodeName(program + QStringLiteral(".new")).constData(),
                       QFile::encodeName(program).constData()), 0);
    ASSERT_EQ(::kill(pid_t(p->processId()), SIGTERM), 0);
    ASSERT_TRUE(p->waitForFinished(kFinishMs));
    EXPECT_TRUE(ReadAllBytes(SettingsFile()).contains("TimesStarted=1"));
    EXPECT_EQ(QDir(QFileInfo(SettingsFile()).absolutePath()).entryList({QStringLiteral("*.ini")}),
              QStringList{QStringLiteral("kvwt.ini")});
}

#endif
