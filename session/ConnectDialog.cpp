#include "session/ConnectDialog.h"

#include "devices/FlywheelInterface.h"
#include "devices/InterfaceFactory.h"
#include "devices/session/SessionController.h"
#include "foundation/core/AppUtils.h"
#include "platform/IniFiles.h"
#include "shell/MainWindow.h"
#include "widgets/UiUtils.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kClientWidth = 194;
constexpr int kFormHeight = 250;
constexpr unsigned kSearchSettleMs = 100;   // after each open of the search
constexpr unsigned kSearchResultMs = 2000;  // the search's last line stays this long
constexpr unsigned kNothingFoundMs = 1000;
constexpr unsigned kWaitStepMs = 10;
constexpr std::int64_t kClickSpacingMs = 50;
constexpr int kClickHz = 1000;
constexpr int kClickMs = 50;
// A test goes on with this many protocol errors before any pulse, and with fewer errors than
// this share of the pulses.
constexpr std::uint32_t kMaxErrorsWithoutData = 10;
constexpr double kMaxErrorShare = 0.1;
constexpr int kProtocolLineWidth = 19;

// Nothing thrown leaves a button's handler.
template <class F>
void Guarded(F handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        DebugTrace(QStringLiteral("Connect: ") + QString::fromUtf8(e.what()));
    } catch (...) {
        DebugTrace(QStringLiteral("Connect: unknown failure"));
    }
}

QString TestingText(const QString& source) {
    return QStringLiteral("Testing %1 ...").arg(source);
}

}  // namespace

QString ProtocolErrorText(const TInterface& interface, bool fromConnectDialog) {
    return ProtocolErrorText(interface.ProtocolSet(), fromConnectDialog);
}

// ---------------------------------------------------------------- life

TfrmConnect::TfrmConnect(QWidget* parent, const TInterfaceFactory* factory)
    : TFormDialog(parent), FFactory(factory ? factory : &TInterfaceFactory::Default()) {
    setWindowTitle(QStringLiteral("Connect"));
    // A title bar only: the dialog ends through its buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    lblSource = new QLabel(QStringLiteral("So&urce"), Client);
    lblSource->setGeometry(8, 12, 44, 17);
    cmbSource = new QComboBox(Client);
    cmbSource->setGeometry(56, 8, 130, 24);
    cmbSource->setEditable(false);
    lblSource->setBuddy(cmbSource);

    btbTest = new QPushButton(QStringLiteral("&Test"), Client);
    btbTest->setGeometry(8, 40, 86, 25);
    btbTest->setToolTip(QStringLiteral("Test current interface / source"));
    btbSearch = new QPushButton(QStringLiteral("&Search"), Client);
    btbSearch->setGeometry(100, 40, 86, 25);
    btbSearch->setToolTip(QStringLiteral("Search for an interface"));

    rgpConnect = new QGroupBox(QStringLiteral("Connect t&ype"), Client);
    rgpConnect->setGeometry(8, 72, 178, 92);
    rgpConnect->setToolTip(QStringLiteral("Type of interface connection"));
    rgpConnectItems = new QButtonGroup(this);
    auto* items = new QVBoxLayout(rgpConnect);
    items->setContentsMargins(8, 4, 8, 4);
    items->setSpacing(2);
    int id = 0;
    for (const char* text : {"Direct", "Delayed (5 seconds)", "Warming up"}) {
        auto* button = new QRadioButton(QString::fromLatin1(text), rgpConnect);
        rgpConnectItems->addButton(button, id++);
        items->addWidget(button);
    }

    lblTest = new QLabel(Client);
    lblTest->setGeometry(8, 72, 178, 92);
    lblTest->setWordWrap(true);
    lblTest->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Both share one place: the connect types lie on top, or the label would take their clicks.
    rgpConnect->raise();

    pnlMagnets = new QWidget(Client);
    pnlMagnets->setGeometry(8, 170, 178, 24);
    for (int i = 0; i < 4; ++i) {
        pnlMagnet[i] = new QLabel(QStringLiteral("x"), pnlMagnets);
        pnlMagnet[i]->setGeometry(i * 45, 0, 43, 24);
        pnlMagnet[i]->setAlignment(Qt::AlignCenter);
        pnlMagnet[i]->setFrameShape(QFrame::Panel);
        pnlMagnet[i]->setFrameShadow(QFrame::Sunken);
    }
    pnlMagnets->hide();

    setTabOrder(cmbSource, btbTest);
    setTabOrder(btbTest, btbSearch);
    setTabOrder(btbSearch, rgpConnectItems->button(0));

    connect(btbTest, &QPushButton::clicked, this, [this] { Guarded([this] { btbTestClick(); }); });
    connect(btbSearch, &QPushButton::clicked, this, [this] { Guarded([this] { btbSearchClick(); }); });

    FDesignTextColor = palette().color(QPalette::WindowText);
    if (frmMain)
        DefaultConnectType = frmMain->DefaultConnectMode;
    ClickSound = [] { Sound(kClickHz, kClickMs); };
    ShowProtocolMessage = [this](const QString& text) {
        ShowMessageBox(this, QMessageBox::Critical, text, QMessageBox::Ok);
    };

    FillSources();
    lblTest->clear();
    rgpConnect->show();
    resize(kClientWidth, kFormHeight);
}

TfrmConnect::~TfrmConnect() {
    FDestroying = true;
    InterfaceDestroy();
}

// ---------------------------------------------------------------- results

QString TfrmConnect::SelectedSource() const {
    return cmbSource->currentIndex() < 0 ? QString() : cmbSource->currentText();
}

std::uint8_t TfrmConnect::SourceKind() const {
    const QString source = SelectedSource();
    if (source.isEmpty())
        return kSourceNone;
    return source.compare(QLatin1String(kDemoSource), Qt::CaseInsensitive) == 0 ? kSourceDemo
                                                                                 : kSourceSerial;
}

int TfrmConnect::ConnectType() const {
    return rgpConnectItems->checkedId();
}

TKVInterface* TfrmConnect::TestInterface() const {
    return FKVInterface.data();
}

// ---------------------------------------------------------------- sources and settings

void TfrmConnect::FillSources() {
    const QString selected = SelectedSource();
    cmbSource->setUpdatesEnabled(false);
    cmbSource->clear();
    InterfaceCreate();
    QStringList names;
    for (TInterface* i : {static_cast<TInterface*>(FKVInterface.data()), FOtherInterface.data()}) {
        if (!i)
            continue;
        for (const QString& port : i->PortList())
            if (!names.contains(port))
                names << port;
    }
    InterfaceDestroy();
    names << QString::fromLatin1(kDemoSource);
    names.sort();  // device paths keep their case
    cmbSource->addItems(names);
    cmbSource->setUpdatesEnabled(true);
    if (!selected.isEmpty())
        SelectSource(selected);
}

void TfrmConnect::SelectSource(const QString& source) {
    // Device paths are case-sensitive: a path is found as it was stored.
    int index = cmbSource->findText(source, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        index = cmbSource->findText(QLatin1String(kDemoSource), Qt::MatchExactly);
    cmbSource->setCurrentIndex(index);
}

QString TfrmConnect::SettingsFileName(bool writeMode) const {
    return IniFileName.isEmpty() ? GetUserIniFileName(writeMode) : IniFileName;
}

void TfrmConnect::FormShow() {
    FInterfaceKind = 0;
    const QString section = QLatin1String(kConnectSection);
    {
        TIniFile ini(SettingsFileName(false));
        QString source = ini.ReadString(section, QStringLiteral("Source"), QLatin1String(kDemoSource));
        if (source.compare(QLatin1String(kDemoSource), Qt::CaseInsensitive) == 0)
            source = QLatin1String(kDemoSource);
        SelectSource(source);
        FInterfaceKind = std::uint8_t(
            std::clamp(ini.ReadInteger(section, QStringLiteral("InterfaceType"), 0), 0,
                       int(kInterfaceKindCount) - 1));
        FStrictProtocol = ini.ReadBool(section, QStringLiteral("StrictProtocol"), true);
        FRawHeartRate = ini.ReadBool(section, QStringLiteral("RawHeartRate"), false);
        FBeeps = ini.ReadBool(section, QStringLiteral("Beeps"), true);
        FQuick = ini.ReadBool(section, QStringLiteral("Quick"), false);
    }
    QAbstractButton* type = rgpConnectItems->button(std::clamp(DefaultConnectType, 0, 2));
    type->setChecked(true);
    // A dialog shown again starts idle.
    SetBusy(false, false);
    btbOk->setEnabled(true);
}

void TfrmConnect::FormClose() {
    NoSound();
    const QString name = SettingsFileName(true);
    if (IsFileWritable(name)) {
        TIniFile ini(name);
        const QString section = QLatin1String(kConnectSection);
        ini.EraseSection(section);
        // Every value, false flags too: a flag the user turned off stays off.
        ini.WriteString(section, QStringLiteral("Source"), SelectedSource());
        ini.WriteInteger(section, QStringLiteral("InterfaceType"), FInterfaceKind);
        ini.WriteBool(section, QStringLiteral("StrictProtocol"), FStrictProtocol);
        ini.WriteBool(section, QStringLiteral("RawHeartRate"), FRawHeartRate);
        ini.WriteBool(section, QStringLiteral("Beeps"), FBeeps);
        ini.WriteBool(section, QStringLiteral("Quick"), FQuick);
        if (!ini.UpdateFile())
            DebugTrace(QStringLiteral("Connect: settings not saved to ") + name);
    }
    InterfaceDestroy();
}

// ---------------------------------------------------------------- dialog ends

void TfrmConnect::showEvent(QShowEvent* event) {
    TFormDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmConnect::accept() {
    if (FPhase != TPhase::Idle)
        return;
    btbTest->setEnabled(false);
    btbSearch->setEnabled(false);
    btbOk->setEnabled(false);
    InterfaceDestroy();
    TFormDialog::accept();
}

void TfrmConnect::reject() {
    // While a test or search runs only Stop ends it; Esc does nothing.
    if (FPhase != TPhase::Idle)
        return;
    TFormDialog::reject();
}

void TfrmConnect::closeEvent(QCloseEvent* event) {
    if (FPhase != TPhase::Idle) {
        event->ignore();
        return;
    }
    TFormDialog::closeEvent(event);
}

void TfrmConnect::done(int result) {
    FormClose();
    TFormDialog::done(result);
}

// ---------------------------------------------------------------- test interfaces

void TfrmConnect::InterfaceCreate() {
    if (FMarker)
        InterfaceDestroy();
    FLastBeep = FClock->NowMs();
    FRawDataCount = 0;
    FProtocolErrorCount = 0;
    FMarker = CreateInterface<T__Interface>(this);
    TInterface* kv = FFactory->Create(kInterfaceKV, this);
    FKVInterface = dynamic_cast<TKVInterface*>(kv);
    if (kv && !FKVInterface)
        delete kv;  // a factory whose kind 1 is no flywheel interface: nothing to test with
    FOtherInterface = FFactory->Create(kInterfaceZT, this);
    FMarker->SetClock(FClock);
    if (FKVInterface) {
        TKVInterface* i = FKVInterface;
        i->SetClock(FClock);
        i->SetLogPortEvents(false);
        i->SetStrictProtocol(FStrictProtocol);
        i->SetRawHeartRate(FRawHeartRate);
        TKeloProtocolSet set = i->ProtocolSet();
        set.Include(kvpDOS);
        set.Include(kvpKvw);
        i->SetProtocolSet(set);
        i->SetDoCalculate(true);
        i->OnError = [this](TInterface* s, const QString& m) { InterfaceError(s, m); };
        i->OnProtocolError = [this](TInterface* s) { InterfaceProtocolError(s); };
        i->OnOpened = [this](TInterface* s) { InterfaceOpened(s); };
        i->OnRawData = [this](TInterface* s, double wheel, int raw, int corrected) {
            KVInterfaceRawData(s, wheel, raw, corrected);
        };
    }
    if (FOtherInterface) {
        FOtherInterface->SetClock(FClock);
        FOtherInterface->OnError = [this](TInterface* s, const QString& m) { InterfaceError(s, m); };
        FOtherInterface->OnProtocolError = [this](TInterface* s) { InterfaceProtocolError(s); };
    }
}

void TfrmConnect::InterfaceDestroy() {
    QPointer<TfrmConnect> self(this);
    if (FMarker || FKVInterface || FOtherInterface) {
        // Taken out first: closing runs events, and nothing may reach them meanwhile.
        const QPointer<TInterface> marker = FMarker;
        const QPointer<TInterface> kv = static_cast<TInterface*>(FKVInterface.data());
        const QPointer<TInterface> other = FOtherInterface;
        FMarker = nullptr;
        FKVInterface = nullptr;
        FOtherInterface = nullptr;
        for (const QPointer<TInterface>& i : {kv, other, marker}) {
            if (!i)
                continue;
            i->OnError = nullptr;
            i->OnProtocolError = nullptr;
            i->OnOpened = nullptr;
            if (auto* k = dynamic_cast<TKVInterface*>(i.data()))
                k->OnRawData = nullptr;
            if (!FDestroying) {
                i->Close();
                if (!self)
                    return;
            }
            if (i)
                FDestroying ? delete i.data() : i->deleteLater();
        }
    }
    if (!FDestroying)
        setWindowTitle(QStringLiteral("Connect"));
}

// ---------------------------------------------------------------- waiting

bool TfrmConnect::WaitMs(unsigned ms, bool cancellable) {
    QPointer<TfrmConnect> self(this);
    const std::int64_t end = FClock->NowMs() + ms;
    while (FClock->NowMs() < end) {
        if (cancellable && FCancel)
            break;
        FClock->Wait(unsigned(std::min<std::int64_t>(kWaitStepMs, end - FClock->NowMs())));
        if (!self)
            return false;
    }
    return true;
}

void TfrmConnect::SetBusy(bool busy, bool stopEnabled) {
    btbTest->setEnabled(!busy || stopEnabled);
    for (QWidget* w : {static_cast<QWidget*>(btbSearch), static_cast<QWidget*>(btbOk),
                       static_cast<QWidget*>(btbCancel), static_cast<QWidget*>(lblSource),
                       static_cast<QWidget*>(cmbSource)})
        w->setEnabled(!busy);
    rgpConnect->setVisible(!busy);
}

// ---------------------------------------------------------------- test

void TfrmConnect::btbTestClick() {
    NoSound();
    if (FPhase == TPhase::Testing)
        StopTest();
    else if (FPhase == TPhase::Idle)
        StartTest();
}

void TfrmConnect::StartTest() {
    QPointer<TfrmConnect> self(this);
    FPhase = TPhase::Testing;
    FCancel = false;
    for (QLabel* p : pnlMagnet)
        p->setText(QStringLiteral("x"));
    pnlMagnets->show();
    btbTest->setText(QStringLiteral("S&top"));
    SetBusy(true, true);

    const QString source = SelectedSource();
    const std::uint8_t kind = SourceKind() == kSourceDemo ? kSourceDemo : kSourceSerial;
    FWaiting = true;
    try {
        InterfaceCreate();
        const bool k3Port = kind == kSourceSerial && FFactory->IsK3Port && FFactory->IsK3Port(source);
        for (TInterface* i : {k3Port ? nullptr : static_cast<TInterface*>(FKVInterface.data()),
                              FOtherInterface.data()}) {
            if (!i || FCancel)
                continue;
            QPointer<TInterface> candidate(i);
            lblTest->setText(TestingText(source));
            FWaitingOn = candidate;
            candidate->OpenAndWait(kind, source);
            if (!self)
                return;  // the dialog went away during the wait
            FWaitingOn = nullptr;
            if (FCancel || !candidate)
                break;
            if (candidate->ValidData()) {
                FWaiting = false;
                return;  // the test goes on with the events of this interface
            }
            candidate->Close();
            if (!self)
                return;
        }
        if (!FCancel) {
            lblTest->setText(QStringLiteral("Nothing found"));
            if (!WaitMs(kNothingFoundMs, true))
                return;
        }
    } catch (const std::exception& e) {
        DebugTrace(QStringLiteral("Connect test: ") + QString::fromUtf8(e.what()));
        if (!self)
            return;
    }
    FWaitingOn = nullptr;
    FWaiting = false;
    EndTest();
}

void TfrmConnect::StopTest() {
    if (FWaiting) {
        // The start is still waiting on the stack: it ends the test once its wait returns.
        FCancel = true;
        if (FWaitingOn)
            FWaitingOn->Close();
        return;
    }
    EndTest();
}

void TfrmConnect::EndTest() {
    btbTest->setEnabled(false);  // closing runs events: no second press meanwhile
    QPointer<TfrmConnect> self(this);
    InterfaceDestroy();
    if (!self)
        return;
    pnlMagnets->hide();
    btbTest->setText(QStringLiteral("&Test"));
    lblTest->clear();
    SetBusy(false, false);
    FPhase = TPhase::Idle;
}

// ---------------------------------------------------------------- search

void TfrmConnect::btbSearchClick() {
    if (FPhase != TPhase::Idle)
        return;
    QPointer<TfrmConnect> self(this);
    FPhase = TPhase::Searching;
    FCancel = false;
    SetBusy(true, false);
    btbTest->setEnabled(false);
    bool found = false;
    QString foundSource;
    std::uint8_t foundKind = 0;
    QString lastTested;

    InterfaceCreate();
    const QStringList ports = FKVInterface ? FKVInterface->PortList() : QStringList();
    cmbSource->clear();
    cmbSource->addItems(ports);
    const auto tryOpen = [&](TInterface* i, const QString& name) -> bool {
        QPointer<TInterface> candidate(i);
        candidate->OpenAndWait(kSourceSerial, name);
        if (!self || !WaitMs(kSearchSettleMs, false) || !candidate)
            return false;
        if (candidate->State() == kvsOpened) {
            found = true;
            foundSource = candidate->SourceName();
            foundKind = candidate->InterfaceType();
        }
        candidate->Close();
        return bool(self);
    };
    for (int n = 0; n < ports.size() && FKVInterface && !found; ++n) {
        FKVInterface->Close();
        if (!self)
            return;
        cmbSource->setCurrentIndex(n);
        lastTested = ports[n];
        lblTest->setText(TestingText(ports[n]));
        if (!tryOpen(FKVInterface, ports[n]))
            return;
    }
    if (!found && FOtherInterface && !tryOpen(FOtherInterface, QString()))
        return;
    if (found)
        lblTest->setText(QStringLiteral("%1 found on %2")
                             .arg(TableText(InterfaceTypeNames, foundKind), foundSource));
    if (!WaitMs(kSearchResultMs, false))
        return;
    InterfaceDestroy();
    FillSources();
    lblTest->clear();
    if (lastTested.isEmpty())
        cmbSource->setCurrentIndex(-1);
    else
        SelectSource(lastTested);
    SetBusy(false, false);
    FPhase = TPhase::Idle;
}

// ---------------------------------------------------------------- events of the test interfaces

void TfrmConnect::InterfaceOpened(TInterface* Sender) {
    FInterfaceKind = Sender->InterfaceType();
}

void TfrmConnect::InterfaceError(TInterface*, const QString& Msg) {
    lblTest->setText(Msg);
}

void TfrmConnect::InterfaceProtocolError(TInterface* Sender) {
    ++FProtocolErrorCount;
    const bool goOn = FRawDataCount == 0
                          ? FProtocolErrorCount < kMaxErrorsWithoutData
                          : double(FProtocolErrorCount) / FRawDataCount < kMaxErrorShare;
    if (goOn || !Sender || Sender->State() <= kvsClosed)
        return;
    const QString text = ProtocolErrorText(*Sender, true);
    Sender->Close();
    QApplication::beep();
    // Never a modal box inside a device event.
    QTimer::singleShot(0, this, [this, text] {
        if (ShowProtocolMessage)
            ShowProtocolMessage(text);
    });
}

void TfrmConnect::KVInterfaceRawData(TInterface* Sender, double Wheel, int, int) {
    auto* kv = dynamic_cast<TKVInterface*>(Sender);
    if (!kv)
        return;
    ++FRawDataCount;
    if (Wheel < kKvNoPulseInterval) {
        const QString stats = kv->MagnetStatsText();
        for (int i = 0; i < 4; ++i)
            pnlMagnet[i]->setText(stats.mid(i * 4, 3));
    }
    QString text = QStringLiteral("Receiving ... ") + kv->SpinnerText() + QStringLiteral("\nSource : ") +
                   kv->SourceName() + QStringLiteral("\nDevice : ") +
                   TableText(InterfaceTypeNames, kv->InterfaceType());
    if (!kv->DeviceID().isEmpty())
        text += QStringLiteral(" (%1)").arg(kv->DeviceID());
    if (kv->SourceKind() != kSourceDemo)
        text += QLatin1Char('\n') +
                (QStringLiteral("Protocol : ") + TableText(ProtocolNames, kv->Protocol()))
                    .left(kProtocolLineWidth);
    lblTest->setText(text);
    const std::int64_t now = FClock->NowMs();
    if (now >= FLastBeep && now - FLastBeep > kClickSpacingMs) {
        // The tone plays by itself: nothing waits here.
        if (FBeeps && ClickSound)
            ClickSound();
        FLastBeep = now;
    }
    setWindowTitle(QStringLiteral("Connect to %1").arg(TableText(ProtocolNames, kv->Protocol())));
}

// ---------------------------------------------------------------- look

void TfrmConnect::SetColors(const QFont& font, const QColor& textColor, const QColor&,
                            const QColor& windowColor) {
    TFormDialog::SetColors(font, textColor, DesignColor, windowColor);
    // The dialog keeps its own look: its text colour stays that of its design.
    QPalette pal = palette();
    SetEnabledColor(pal, QPalette::WindowText, FDesignTextColor);
    setPalette(pal);
    QPalette combo = cmbSource->palette();
    combo.setColor(QPalette::Base, windowColor);
    SetEnabledColor(combo, QPalette::Text, textColor);
    cmbSource->setPalette(combo);
    cmbSource->setFont(font);
    for (QPushButton* b : {btbTest, btbSearch}) {
        b->setFont(font);
        QPalette bp = b->palette();
        SetEnabledColor(bp, QPalette::ButtonText, Qt::black);
        b->setPalette(bp);
    }
    update();
}
