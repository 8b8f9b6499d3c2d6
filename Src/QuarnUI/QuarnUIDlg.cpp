#include "QuarnUIDlg.h"

#include "About.h"
#include "ByteSize.h"
#include "ComPortSelector.h"
#include "DebugLog.h"
#include "DeviceDragData.h"
#include "DlgQuit.h"
#include "FileInfo.h"
#include "LocalFileList.h"
#include "Options.h"
#include "PortPermission.h"
#include "ProgressWnd.h"
#include "RunOnce.h"
#include "SettingsKeys.h"
#include "Splash.h"
#include "SystemError.h"
#include "TargetFileList.h"
#include "TextKeys.h"
#include "TextTemplate.h"
#include "WaitAny.h"

#include "trelm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <QStyle>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <tuple>
#include <unistd.h>

namespace {

using namespace SettingsKeys;

QString Text(const char* key) {
    return QLatin1String(key);
}

// The leading decimal number of `text` as the C library's atoi reads it
// (white space, one sign, digits; no digits give 0), kept within int.
int LeadingNumber(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    const long value = std::strtol(bytes.constData(), nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

// The layout is given in dialog units: a quarter of the font's average
// character width across, an eighth of its height down.
struct DialogUnits {
    explicit DialogUnits(const QFont& font) {
        const QFontMetrics metrics(font);
        const int alphabet = metrics.horizontalAdvance(
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        baseX = (alphabet / 26 + 1) / 2;
        baseY = metrics.height();
    }
    int X(int units) const { return units * baseX / 4; }
    int Y(int units) const { return units * baseY / 8; }
    int baseX = 6;
    int baseY = 13;
};

// Library result codes whose message is the text of their key; the others
// show the key's name as it stands.
bool LibraryCodeIsLookedUp(int code) {
    switch (code) {
    case TRELM_ERROR_BAD_PARAMETERS:
    case TRELM_ERROR_COMPORT_NOT_OPENED:
    case TRELM_ERROR_COMM_FAILED:
    case 7: // shares the key of code 6
    case TRELM_ERROR_UNEXPECTED_DATA:
    case TRELM_ERROR_DEVICE_ERROR:
    case TRELM_ERROR_NOT_SUPPORTED:
    case TRELM_ERROR_DEVICE_UNKNOWN_CMD:
        return true;
    default:
        return false;
    }
}

const char* ProgramErrorKey(int code) {
    switch (code) {
    case 2:
        return TextKeys::ERROR_FILE_NOT_FOUND;
    case 3:
        return TextKeys::ERROR_PATH_NOT_FOUND;
    case 4:
        return TextKeys::ERROR_TOO_MANY_OPEN_FILES;
    case 5:
        return TextKeys::ERROR_ACCESS_DENIED;
    case 1124:
        return TextKeys::ERR_FILECACHE_UPDATE;
    case 1126:
        return TextKeys::ERR_FILE_CACHE_NOT_FOUND;
    case 1128:
        return TextKeys::ERR_LANG_FILE_NOT_FOUND;
    case 1129:
        return TextKeys::ERR_UNABLE_TO_CHANGE_LANG;
    case 1130:
        return TextKeys::ERR_NO_COMPORTS;
    default:
        return TextKeys::NA_WTF;
    }
}

} // namespace

QuarnUIDlg::QuarnUIDlg(QWidget* parent)
    : QDialog(parent), m_startupFolder(QDir::currentPath() + u'/') {
    setObjectName(QStringLiteral("quarnUIDlg"));
    // A title bar with the window menu, minimize, maximize and close; the
    // window can be resized and the two panes grow with it.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    m_icon = QIcon(QStringLiteral(":/icons/app.svg"));
    m_link = std::make_unique<DeviceLink>();
    connect(m_link.get(), &DeviceLink::BusyChanged, this, &QuarnUIDlg::OnLinkBusyChanged);
    connect(m_link.get(), &DeviceLink::Progress, this, &QuarnUIDlg::OnCopyProgress);
    CreateControls();
    m_targetList->SetLink(m_link.get());
    m_targetList->SetLoadObserver([this](int result) { OnDeviceListLoaded(result); });
    m_targetList->SetDropHandler(
        [this](const QMimeData* data, bool drop) { return DropOnDevice(data, drop); });
    m_localList->SetDropHandler(
        [this](const QMimeData* data, bool drop) { return DropOnLocal(data, drop); });
    m_targetList->SetExporter(
        [this](const QStringList& names) { return ExportDeviceFiles(names); });
    waitTimer = new QTimer(this);
    waitTimer->setInterval(250);
    connect(waitTimer, &QTimer::timeout, this, &QuarnUIDlg::UpdateWaitLine);
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->installEventFilter(this);
    }
}

QuarnUIDlg::~QuarnUIDlg() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
    // A copy under way is told to stop at its next packet; the answers
    // still to come are dropped with the objects that asked.
    m_link->RequestCancel();
    CloseProgress();
    delete m_deviceThread.data();
    if (!endedByFatalExit) {
        m_settings.Save(false);
    }
    // The lists report to this window while they go (the local list writes
    // its file library), so they go while it is still whole.
    delete m_localList;
    m_localList = nullptr;
    delete m_targetList;
    m_targetList = nullptr;
    // Last, with everything saved: the link waits briefly for a call under
    // way, and a call stuck on a silent line ends the program here.
    m_link.reset();
}

void QuarnUIDlg::SetBusyExit(std::function<void()> handler) {
    m_link->SetBusyExit(std::move(handler));
}

void QuarnUIDlg::CreateControls() {
    const DialogUnits units(font());

    deviceLabel = new QLabel(this);
    deviceLabel->setObjectName(QStringLiteral("ctl1003"));
    deviceLabel->setAlignment(Qt::AlignCenter);
    deviceLabel->setFixedHeight(units.Y(11));
    // The labels follow their pane's width; the path is fitted to it.
    deviceLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    localLabel = new QLabel(this);
    localLabel->setObjectName(QStringLiteral("ctl1002"));
    localLabel->setAlignment(Qt::AlignCenter);
    localLabel->setFixedHeight(units.Y(11));
    localLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    // The lists start at the size of the classic layout and grow with the
    // window.
    const QSize listSize(units.X(240), units.Y(190));
    const QSize listMinimum(units.X(100), units.Y(60));
    m_targetList = new TargetFileList(this);
    m_targetList->setObjectName(QStringLiteral("ctl1005"));
    m_targetList->SetPreferredSize(listSize);
    m_targetList->setMinimumSize(listMinimum);
    m_targetList->SetOwner(this);

    m_localList = new LocalFileList(this);
    m_localList->setObjectName(QStringLiteral("ctl1000"));
    m_localList->SetPreferredSize(listSize);
    m_localList->setMinimumSize(listMinimum);
    m_localList->SetOwner(this);

    const QSize buttonSize(units.X(37), units.Y(24));
    const int iconSide = std::min(buttonSize.width(), buttonSize.height()) - 8;
    m_btnToDevice = new QPushButton(this);
    m_btnToDevice->setObjectName(QStringLiteral("ctl1007"));
    m_btnToDevice->setFixedSize(buttonSize);
    m_btnToDevice->setIconSize(QSize(iconSide, iconSide));
    m_btnFromDevice = new QPushButton(this);
    m_btnFromDevice->setObjectName(QStringLiteral("ctl1021"));
    m_btnFromDevice->setFixedSize(buttonSize);
    m_btnFromDevice->setIconSize(QSize(iconSide, iconSide));
    connect(m_btnToDevice, &QPushButton::clicked, this, [this] { OnCommand(ID_COPY_TO_DEVICE); });
    connect(m_btnFromDevice, &QPushButton::clicked, this,
            [this] { OnCommand(ID_COPY_FROM_DEVICE); });

    // The dialog's OK and Cancel buttons exist but are never shown: Enter
    // and Escape reach accept() and reject() through them.
    auto* okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("ctl1"));
    okButton->setDefault(true);
    okButton->hide();
    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("ctl2"));
    cancelButton->hide();
    connect(okButton, &QPushButton::clicked, this, &QuarnUIDlg::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QuarnUIDlg::reject);

    // Device pane left, the two buttons between, local pane right, in a
    // splitter; the buttons stand 24 and 53 units below the lists' top edge.
    const auto pane = [this, &units](QLabel* label, FileList* list, const char* name) {
        auto* widget = new QWidget(this);
        widget->setObjectName(QLatin1String(name));
        auto* column = new QVBoxLayout(widget);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(units.Y(3));
        column->addWidget(label);
        column->addWidget(list, 1);
        return widget;
    };
    QWidget* devicePane = pane(deviceLabel, m_targetList, "devicePane");
    QWidget* localPane = pane(localLabel, m_localList, "localPane");
    auto* buttonPane = new QWidget(this);
    buttonPane->setObjectName(QStringLiteral("buttonPane"));
    auto* buttons = new QVBoxLayout(buttonPane);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(units.Y(5));
    buttons->addSpacing(units.Y(11) + units.Y(3) + units.Y(24));
    buttons->addWidget(m_btnToDevice);
    buttons->addWidget(m_btnFromDevice);
    buttons->addStretch();
    buttonPane->setFixedWidth(buttonSize.width());

    splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->setChildrenCollapsible(false);
    splitter->setHandleWidth(units.X(3));
    splitter->addWidget(devicePane);
    splitter->addWidget(buttonPane);
    splitter->addWidget(localPane);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setStretchFactor(2, 1);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(units.X(2), units.Y(5), units.X(3), 0);
    root->setSpacing(units.Y(3));
    root->addWidget(splitter, 1);

    // The status bar: the device pane's files, the connection (or what the
    // program waits for) and the local pane's files.
    statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    statusBar->setSizeGripEnabled(true);
    statusDeviceFiles = new QLabel(statusBar);
    statusDeviceFiles->setObjectName(QStringLiteral("statusDeviceFiles"));
    statusConnection = new QLabel(statusBar);
    statusConnection->setObjectName(QStringLiteral("statusConnection"));
    statusConnection->setTextFormat(Qt::PlainText);
    waitLine = new QLabel(statusBar);
    waitLine->setObjectName(QStringLiteral("waitLine"));
    waitLine->setTextFormat(Qt::PlainText);
    waitLine->hide();
    statusLocalFiles = new QLabel(statusBar);
    statusLocalFiles->setObjectName(QStringLiteral("statusLocalFiles"));
    const auto separator = [this] {
        auto* line = new QFrame(statusBar);
        line->setFrameShape(QFrame::VLine);
        line->setFrameShadow(QFrame::Sunken);
        return line;
    };
    statusBar->addWidget(statusDeviceFiles);
    // Without a device the count and its separator give way.
    deviceSeparator = separator();
    deviceSeparator->hide();
    statusBar->addWidget(deviceSeparator);
    statusBar->addWidget(statusConnection, 1);
    statusBar->addWidget(waitLine, 1);
    statusBar->addPermanentWidget(separator());
    statusBar->addPermanentWidget(statusLocalFiles);
    root->addWidget(statusBar);

    m_menu = new QMenuBar(this);
    m_menu->setObjectName(QStringLiteral("menu"));
    root->setMenuBar(m_menu);
}

void QuarnUIDlg::SetFatalExit(std::function<void(int)> handler) {
    fatalExit = std::move(handler);
}

void QuarnUIDlg::FatalExit(int code) {
    endedByFatalExit = true;
    if (fatalExit) {
        fatalExit(code);
        return;
    }
    std::fflush(nullptr);
    ::_exit(code);
}

int QuarnUIDlg::exec() {
    OnCreate();
    if (!OnInitDialog()) {
        return QDialog::Rejected;
    }
    inModalLoop = true;
    const int result = QDialog::exec();
    inModalLoop = false;
    return result;
}

void QuarnUIDlg::OnCreate() {
    Splash::ShowSplash(this);
    if (creationPauseMs > 0) {
        QThread::msleep(static_cast<unsigned long>(creationPauseMs));
    }
}

QString QuarnUIDlg::ReadSetting(const char* section, const char* key,
                                const QString& defaultValue) const {
    return m_settings.ReadValue(Text(section), Text(key), defaultValue);
}

void QuarnUIDlg::WriteSetting(const char* section, const char* key, const QString& value) {
    m_settings.WriteValue(Text(section), Text(key), value);
}

QString QuarnUIDlg::GetTextOrDefault(const QString& key, const QString& defaultValue) const {
    const QString text = m_langReader.GetText(key);
    return text == key ? defaultValue : text;
}

void QuarnUIDlg::ShowMessage(const QString& text, Prompter::Icon icon) {
    Prompter::Current().Message(this, text, GetTextOrDefault(Text(TextKeys::APPNAME), QString()),
                                icon, Prompter::Buttons::Ok);
}

bool QuarnUIDlg::OnInitDialog() {
    // 1. Hidden and without redrawing until the menu is built; centred, at
    // the classic size as far as the screen has room for it.
    hide();
    setUpdatesEnabled(false);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        // Room for the frame and the title bar, which the window manager
        // adds around the window.
        const QSize room = available.size() - QSize(16, 48);
        resize(size().boundedTo(room).expandedTo(minimumSizeHint()));
        move(available.center() - rect().center());
    }
    setWindowIcon(m_icon);
    m_btnToDevice->setIcon(QIcon(QStringLiteral(":/icons/to_device.svg")));
    m_btnFromDevice->setIcon(QIcon(QStringLiteral(":/icons/from_device.svg")));

    // 2. The settings.
    if (!m_settings.Load(m_startupFolder + Text(SETTINGS_FILE_NAME), false, false, true, false)) {
        ShowMessage(QStringLiteral("Ini-File not found"), Prompter::Icon::Stop);
        FatalExit(1);
        return false;
    }
    // Where the window was and how it was divided when it was last closed.
    RestoreWindowState();

    // 3. The language file.
    if (!LoadLanguageFile()) {
        const QString path = m_startupFolder + ReadSetting(APPLICATION, LANGUAGE, QString());
        ShowMessage(m_errReader.GetText(Text(TextKeys::LANG_FILE_NOT_FOUND)) + path,
                    Prompter::Icon::None);
        FatalExit(1);
        return false;
    }

    // 4. Set up before: the local folder must exist.
    if (ReadSetting(APPLICATION, STATUS, Text(STATUS_DEFAULT)) != Text(STATUS_FIRST_RUN)) {
        while (!IsLocalFolderValid()) {
            const QString prompt = FormatText(
                GetTextOrDefault(Text(TextKeys::MSG_LOCAL_PATH_INVALID),
                                 QStringLiteral("Local path '%s' is invalid.\nPlease select "
                                                "another directory.")),
                ReadSetting(APPLICATION, LOCAL_PATH, QString()));
            const QString chosen = Prompter::Current().PickFolder(nullptr, prompt, m_startupFolder);
            if (chosen.isEmpty()) {
                FatalExit(1);
                return false;
            }
            WriteSetting(APPLICATION, LOCAL_PATH, chosen);
        }
    }

    // 5. First start: the first-run setup chooses language, folder and port.
    if (ReadSetting(APPLICATION, STATUS, Text(STATUS_DEFAULT)) == Text(STATUS_FIRST_RUN)) {
        // The errors the setup reports (no COM port, say) need their texts:
        // the error-message file that the shipped settings name is loaded
        // now already. Without it they show their keys, as before.
        m_errReader.Load(m_startupFolder + ReadSetting(APPLICATION, ERROR_FILE, QString()));
        const FirstRunChoice choice = RunFirstRunSetup();
        if (!choice.accepted || choice.language.isEmpty() || choice.folder.isEmpty()) {
            FatalExit(1);
            return false;
        }
        const QString languageFile =
            Text(LANGUAGE_FILE_PREFIX) + choice.language + Text(LANGUAGE_FILE_SUFFIX);
        WriteSetting(APPLICATION, LANGUAGE, languageFile);
        WriteSetting(APPLICATION, ERROR_FILE,
                     QString(languageFile).replace(Text(LANGUAGE_MARK), Text(ERROR_MARK)));
        LoadLanguageFile();
        WriteSetting(APPLICATION, LOCAL_PATH, choice.folder);
        WriteSetting(COM_SETUP, COM_PORT, QString::number(choice.port));
        WriteSetting(APPLICATION, STATUS, Text(STATUS_DONE));
    }

    // 6. The error-message file (the one of the language chosen at a first
    // run, on its own: no text of the early load stays).
    const QString errorPath = m_startupFolder + ReadSetting(APPLICATION, ERROR_FILE, QString());
    m_errReader.Clear();
    if (!m_errReader.Load(errorPath)) {
        ShowMessage(QStringLiteral("Unable to locate the error-messagefile : ") + errorPath,
                    Prompter::Icon::Stop);
        FatalExit(1);
        return false;
    }
    const QString noItems = m_errReader.GetText(Text(TextKeys::NO_ITEM_IN_LIST));
    m_targetList->SetEmptyText(noItems);
    m_localList->SetEmptyText(noItems);

    SetWindowTexts();               // 7
    BuildMenu();                    // 8
    m_localList->ConfigureImages(); // 9
    m_targetList->ConfigureImages();
    Connect();          // 10
    RefreshLocalList(); // 11
    return true;
}

bool QuarnUIDlg::LoadLanguageFile() {
    return m_langReader.Load(m_startupFolder + ReadSetting(APPLICATION, LANGUAGE, QString()));
}

bool QuarnUIDlg::IsLocalFolderValid() const {
    const QString folder = ReadSetting(APPLICATION, LOCAL_PATH, QString());
    return !folder.isEmpty() && QFileInfo(folder).isDir();
}

void QuarnUIDlg::SetWindowTexts() {
    setWindowTitle(m_langReader.GetText(Text(TextKeys::APPNAME)));
    deviceLabel->setText(m_langReader.GetText(Text(TextKeys::LBL_TARGETFILES)));
    SetPathLabel(ReadSetting(APPLICATION, LOCAL_PATH, QString()));
}

void QuarnUIDlg::SetPathLabel(const QString& path) {
    // Too long for the label: the middle of the path gives way to an
    // ellipsis; the whole path is in the tool tip.
    const QString fitted =
        localLabel->fontMetrics().elidedText(path, Qt::ElideMiddle, localLabel->width());
    if (localLabel->text() != fitted) {
        localLabel->setText(fitted);
    }
    if (localLabel->toolTip() != path) {
        localLabel->setToolTip(path);
    }
}

void QuarnUIDlg::UpdateLabels() {
    const QString devices = m_langReader.GetText(Text(TextKeys::LBL_TARGETFILES));
    if (deviceLabel->text() != devices) {
        deviceLabel->setText(devices);
    }
    SetPathLabel(ReadSetting(APPLICATION, LOCAL_PATH, QString()));
}

void QuarnUIDlg::paintEvent(QPaintEvent* event) {
    if (m_settings.IsLoaded()) {
        UpdateLabels();
    }
    QDialog::paintEvent(event);
}

void QuarnUIDlg::BuildMenu() {
    setUpdatesEnabled(false);
    // clear() only takes the entries off the bar: the menus and actions of
    // the last build are deleted too. Later, as a menu's own action may be
    // what led here (a language change from the options sheet).
    const QList<QAction*> oldActions = m_menu->actions();
    m_menu->clear();
    for (QAction* action : oldActions) {
        if (QMenu* menu = action->menu()) {
            menu->deleteLater();
        } else if (action->parent() == m_menu) {
            action->deleteLater();
        }
    }
    auto addItem = [this](QMenu* menu, const char* key, int command) -> QAction* {
        QAction* action = menu != nullptr ? menu->addAction(m_langReader.GetText(Text(key)))
                                          : m_menu->addAction(m_langReader.GetText(Text(key)));
        action->setObjectName(QStringLiteral("cmd%1").arg(command));
        action->setData(command);
        connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
        return action;
    };
    QMenu* file = m_menu->addMenu(m_langReader.GetText(Text(TextKeys::MNU_FILE)));
    file->setObjectName(QStringLiteral("menuFile"));
    addItem(file, TextKeys::MNU_FILE_EXIT, ID_APP_EXIT);
    QMenu* tools = m_menu->addMenu(m_langReader.GetText(Text(TextKeys::MNU_TOOLS)));
    tools->setObjectName(QStringLiteral("menuTools"));
    addItem(tools, TextKeys::MNU_TOOLS_OPTIONS, ID_TOOLS_OPTIONS);
    addItem(tools, TextKeys::MNU_TOOLS_FILES, ID_TOOLS_FILES);
    // Refresh is F5, as in the file managers; the menu bar names the key.
    QAction* refresh = addItem(nullptr, TextKeys::MNU_REFRESH, ID_REFRESH);
    refresh->setShortcut(QKeySequence(Qt::Key_F5));
    refresh->setShortcutContext(Qt::WindowShortcut);
    refresh->setText(refresh->text() + QStringLiteral("  (") +
                     refresh->shortcut().toString(QKeySequence::NativeText) + u')');
    addItem(nullptr, TextKeys::MNU_ABOUT, ID_ABOUT);
    setUpdatesEnabled(true);
}

QString QuarnUIDlg::BuildHeading() const {
    static const char* const pairs[][2] = {{TextKeys::HDR_FILE, COL1},
                                           {TextKeys::HDR_SIZE, COL2},
                                           {TextKeys::HDR_DATE, COL3},
                                           {TextKeys::HDR_ATTRIB, COL4}};
    QString heading;
    for (const auto& pair : pairs) {
        heading += m_langReader.GetText(Text(pair[0])) + QStringLiteral(", ") +
                   ReadSetting(APPLICATION, pair[1], QString()) + u';';
    }
    return heading;
}

void QuarnUIDlg::EnableCopyButtons(bool toDevice, bool fromDevice) {
    m_wantToDevice = toDevice;
    m_wantFromDevice = fromDevice;
    ApplyCopyButtons();
}

void QuarnUIDlg::ApplyCopyButtons() {
    // While a device operation runs, neither copy can start.
    const bool idle = !m_link->IsBusy();
    m_btnToDevice->setEnabled(m_wantToDevice && idle);
    m_btnFromDevice->setEnabled(m_wantFromDevice && idle);
}

void QuarnUIDlg::Connect() {
    EnableCopyButtons(false, false);
    const int port = LeadingNumber(ReadSetting(COM_SETUP, COM_PORT, QString()));
    const QString mode = QStringLiteral("baud=") + ReadSetting(COM_SETUP, COM_BAUD, QString()) +
                         QStringLiteral(" parity=") +
                         ReadSetting(COM_SETUP, COM_PARITY, QString()) + QStringLiteral(" data=") +
                         ReadSetting(COM_SETUP, COM_DATABIT, QString()) + QStringLiteral(" stop=") +
                         ReadSetting(COM_SETUP, COM_STOPBIT, QString());
    const QByteArray modeBytes = mode.toLocal8Bit();
    quarnDebug("Connecting to TRELM with->%s\n", modeBytes.constData());
    quarnDebug("Using Comport->%i\n", port);

    // Opening the port and the start-up query are one device operation;
    // a reconnect waits for the one under way.
    if (!m_link->BeginOperation()) {
        RunWhenIdle([this] { Connect(); });
        return;
    }
    m_connecting = true;
    m_port = port;
    // The window is up while the port opens (a search over all ports takes
    // a while); the line at its bottom says what it waits for.
    if (!inModalLoop) {
        show();
    }
    m_link->Open(static_cast<uint32_t>(port), modeBytes, this,
                 [this, port](const DeviceLink::OpenResult& open) {
                     if (!open.call.Ok()) {
                         quarnDebug("Not connected to TRELM\n");
                         m_connecting = false;
                         m_link->EndOperation();
                         ShowMessage(OpenFailureText(static_cast<int>(open.call.result), port),
                                     Prompter::Icon::None);
                         EnableCopyButtons(false, false);
                         m_targetList->DeleteAllRows();
                         m_targetList->SetEmptyText(DeviceFailureText(open.call.result));
                         m_connected = false;
                         return;
                     }
                     if (port == 0 && open.foundPortKnown) {
                         // The port was found by searching: the next start
                         // uses it.
                         m_port = static_cast<int>(open.foundPort);
                         WriteSetting(COM_SETUP, COM_PORT, QString::number(open.foundPort));
                     }
                     SetDeviceColumns();
                     StartDeviceQuery();
                 });
}

void QuarnUIDlg::StartDeviceQuery() {
    // A new query replaces an old one that has not ended (its answer is
    // dropped).
    delete m_deviceThread.data();
    m_deviceThread = new CDeviceThread(*this, *m_link);
    m_deviceThread->m_waitText = m_langReader.GetText(Text(TextKeys::WAIT_FOR_DEVICE));
    m_deviceThread->Start(m_targetList->serviceMode);
}

bool QuarnUIDlg::IsQueryRunning() const {
    return m_connecting || (m_deviceThread != nullptr && m_deviceThread->IsRunning());
}

bool QuarnUIDlg::IsDeviceBusy() const {
    return m_link->IsBusy() || !m_heldBack.isEmpty() || m_refreshHeldBack;
}

void QuarnUIDlg::DeviceQueryFinished(const CDeviceThread::QueryResult& result) {
    m_connecting = false;
    if (result.infoResult != TRELM_OK) {
        m_deviceThread->ExitInstance();
        EnableCopyButtons(false, false);
        m_connected = false;
        // The device pane says why it stays empty.
        m_targetList->DeleteAllRows();
        m_targetList->SetEmptyText(DeviceFailureText(result.infoResult));
    } else {
        RefreshDeviceList(&result.listing);
        m_connected = true;
        m_deviceThread->ExitInstance();
        m_noActivateRefresh = false;
    }
    m_link->EndOperation();
    // The refresh command, run from the event loop as a posted command.
    QMetaObject::invokeMethod(
        this, [this] { OnCommand(ID_REFRESH); }, Qt::QueuedConnection);
}

void QuarnUIDlg::RefreshLocalList() {
    m_localList->DeleteAllRows();
    m_localList->SetColumns(BuildHeading());
    const QString folder = ReadSetting(APPLICATION, LOCAL_PATH, QString());
    SetPathLabel(folder);
    m_localList->LoadFolder(folder);
}

void QuarnUIDlg::RefreshDeviceList(const DeviceLink::Listing* listing) {
    m_targetList->DeleteAllRows();
    SetDeviceColumns();
    const auto shown = [this](int result) {
        if (result == 0 || result == TargetFileList::NoFiles) {
            return;
        }
        quarnDebug("Error loading target - Error was->%i\n", result);
        ShowLibraryError(result);
        EnableCopyButtons(false, false);
    };
    if (listing != nullptr) {
        const int result = m_targetList->ShowListing(*listing);
        OnDeviceListLoaded(result);
        shown(result);
        return;
    }
    m_targetList->Load(shown);
}

void QuarnUIDlg::OnDeviceListLoaded(int result) {
    if (result == 0) {
        m_targetList->SetEmptyText(m_errReader.GetText(Text(TextKeys::NO_ITEM_IN_LIST)));
    } else if (result == TargetFileList::NoFiles) {
        m_targetList->SetEmptyText(m_errReader.GetText(Text(TextKeys::HDR_EMPTY)));
    } else {
        // A device that did not answer never looks like an empty one.
        m_targetList->SetEmptyText(DeviceFailureText(result));
    }
    m_targetList->viewport()->update();
}

QString QuarnUIDlg::DeviceFailureText(int result) {
    return LibraryErrorText(result) + QStringLiteral("\n") + PortDescription();
}

QString QuarnUIDlg::PortDescription() const {
    if (m_port <= 0) {
        return QStringLiteral("AUTO");
    }
    QString description = QStringLiteral("COM %1").arg(m_port);
    const QString path = ComPortSelector::DevicePathOf(m_port);
    if (!path.isEmpty()) {
        description += QStringLiteral(" (") + path + u')';
    }
    return description;
}

void QuarnUIDlg::RefreshAll() {
    if (m_holdRefresh) {
        return;
    }
    // A refresh asked for while a device operation runs waits for its end
    // (once, however often it was asked for).
    if (m_link->IsBusy()) {
        if (!m_refreshHeldBack) {
            m_refreshHeldBack = true;
            RunWhenIdle([this] {
                m_refreshHeldBack = false;
                RefreshAll();
            });
        }
        return;
    }
    EnableCopyButtons(false, false);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_localList->UpdateFileLibrary();
    ReloadDeviceListIfIdle();
    m_localList->Refresh();
    QGuiApplication::restoreOverrideCursor();
    m_localList->setUpdatesEnabled(true);
}

void QuarnUIDlg::ReloadDeviceListIfIdle() {
    if (!m_holdDeviceList) {
        m_targetList->Refresh();
    }
}

void QuarnUIDlg::SetHoldDeviceList(bool flag) {
    if (flag == m_holdDeviceList) {
        return;
    }
    m_holdDeviceList = flag;
    if (!flag) {
        m_targetList->Refresh();
    }
}

void QuarnUIDlg::SetHoldRefresh(bool flag) {
    if (flag == m_holdRefresh) {
        return;
    }
    m_holdRefresh = flag;
    if (!flag) {
        update();
    }
}

// ---- Device operations ------------------------------------------------------

void QuarnUIDlg::RunWhenIdle(std::function<void()> action) {
    if (!m_link->IsBusy() && m_heldBack.isEmpty()) {
        action();
        return;
    }
    m_heldBack.append(std::move(action));
}

void QuarnUIDlg::OnLinkBusyChanged(bool busy) {
    ApplyCopyButtons();
    const Qt::CursorShape shape = busy ? Qt::BusyCursor : Qt::ArrowCursor;
    m_targetList->viewport()->setCursor(shape);
    m_localList->viewport()->setCursor(shape);
    if (busy) {
        waitTimer->start();
    } else {
        waitTimer->stop();
        // The commands held back run from the event loop, one after the
        // other: one that starts a device operation holds back the rest.
        QMetaObject::invokeMethod(this, &QuarnUIDlg::RunHeldBack, Qt::QueuedConnection);
    }
    UpdateWaitLine();
    UpdateStatusBar();
}

void QuarnUIDlg::RunHeldBack() {
    while (!m_heldBack.isEmpty() && !m_link->IsBusy()) {
        const std::function<void()> action = m_heldBack.takeFirst();
        action();
    }
    if (!IsDeviceBusy()) {
        emit DeviceIdle();
    }
}

void QuarnUIDlg::UpdateWaitLine() {
    const qint64 waited = m_link->WaitedMs();
    // Quick answers do not flash the line.
    if (waited < 500) {
        if (!waitLine->text().isEmpty()) {
            waitLine->clear();
        }
        waitLine->hide();
        statusConnection->show();
        return;
    }
    const QString format =
        GetTextOrDefault(Text(TextKeys::MSG_WAITING_FOR_DEVICE),
                         QStringLiteral("Waiting for the device on %s\u2026 %d s"));
    QString text = FormatText(format, PortDescription());
    text.replace(QStringLiteral("%d"), QString::number(waited / 1000));
    if (waitLine->text() != text) {
        waitLine->setText(text);
    }
    // The wait takes the connection's place in the status bar.
    statusConnection->hide();
    waitLine->show();
}

// ---- Activation --------------------------------------------------------

bool QuarnUIDlg::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && !isMinimized() && !m_noActivateRefresh &&
        !IsQueryRunning() && !m_link->IsBusy() && m_progress == nullptr && !activationPending) {
        // A click that activated the window arrives right after the
        // activation; the refresh waits for the queued check to see none.
        activationPending = true;
        activationByClick = QGuiApplication::mouseButtons() != Qt::NoButton;
        QTimer::singleShot(0, this, &QuarnUIDlg::OnActivationSettled);
    }
    return QDialog::event(event);
}

bool QuarnUIDlg::eventFilter(QObject* watched, QEvent* event) {
    if (activationPending && (event->type() == QEvent::MouseButtonPress ||
                              event->type() == QEvent::NonClientAreaMouseButtonPress)) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && widget->window() == this) {
            activationByClick = true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void QuarnUIDlg::OnActivationSettled() {
    const bool byClick = activationByClick;
    activationPending = false;
    activationByClick = false;
    // Not while a device operation or a copy is under way: the activation
    // refresh is dropped then, not held back.
    if (!byClick && !isMinimized() && !m_noActivateRefresh && !IsQueryRunning() &&
        !m_link->IsBusy() && m_progress == nullptr) {
        RefreshAll();
    }
}

// ---- Commands and closing ---------------------------------------------

void QuarnUIDlg::OnCommand(int command) {
    switch (command) {
    case ID_COPY_TO_DEVICE:
        CopyToDevice();
        break;
    case ID_COPY_FROM_DEVICE:
        CopyFromDevice();
        break;
    case ID_TOOLS_OPTIONS:
        RunOptions(m_langReader.GetText(Text(TextKeys::LBL_OPTIONS)));
        break;
    case ID_TOOLS_FILES:
        ShowStatistics();
        break;
    case ID_REFRESH:
        RefreshAll();
        break;
    case ID_ABOUT: {
        About about(m_langReader, this);
        about.exec();
        break;
    }
    case ID_APP_EXIT:
        close();
        break;
    default:
        break;
    }
}

void QuarnUIDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    // The local list's column widths go into the store first; they stay
    // there even when the user then decides not to quit.
    const int columns = m_localList->header()->count();
    for (int i = 1; i <= columns; ++i) {
        m_settings.WriteValue(Text(APPLICATION), Text(COL_PREFIX) + QString::number(i),
                              QString::number(m_localList->columnWidth(i - 1)));
    }
    reject();
}

void QuarnUIDlg::accept() {}

void QuarnUIDlg::reject() {
    // The question is asked also while the device is busy; a second close
    // request while it is open adds nothing.
    if (askingQuit) {
        return;
    }
    askingQuit = true;
    const bool quit = AskQuit();
    askingQuit = false;
    if (!quit) {
        return;
    }
    SaveWindowState();
    // A copy under way stops at its next packet; the end of the program
    // does not wait for a device that stays silent (see DeviceLink).
    m_link->RequestCancel();
    QDialog::done(QDialog::Rejected);
}

bool QuarnUIDlg::AskQuit() {
    DlgQuit question(m_langReader, this);
    // The main window may be disabled by a device operation; its question
    // is not.
    question.setEnabled(true);
    return question.exec() == QDialog::Accepted;
}

QuarnUIDlg::FirstRunChoice QuarnUIDlg::RunFirstRunSetup() {
    RunOnce setup(*this, this);
    FirstRunChoice choice;
    if (setup.exec() == QDialog::Accepted) {
        choice.accepted = true;
        choice.language = setup.SelectedLanguage();
        choice.folder = setup.FolderPath();
        choice.port = setup.SelectedPort();
    }
    return choice;
}

void QuarnUIDlg::RunOptions(const QString& caption) {
    // The pages act through their own apply steps and messages; the sheet's
    // result itself is not needed.
    COptions sheet(caption, *this, this);
    sheet.exec();
}

// ---- Copy operations ----------------------------------------------------

bool QuarnUIDlg::IsPlainFileName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(u'/') && !name.contains(u'\\');
}

int QuarnUIDlg::AskDuringCopy(const QString& text, const QString& caption, Prompter::Icon icon,
                              Prompter::Buttons buttons) {
    // The wait cursor of the copy does not belong over a question.
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    return Prompter::Current().Message(this, text, caption, icon, buttons);
}

void QuarnUIDlg::ShowCopyError(int code) {
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    ShowLibraryError(code);
}

void QuarnUIDlg::OpenProgress() {
    m_progressOwner =
        std::make_unique<ProgressWnd>(this, m_langReader.GetText(Text(TextKeys::PRO_TITLE)),
                                      m_langReader.GetText(Text(TextKeys::BTN_CANCEL)), false);
    m_progress = m_progressOwner.get();
    connect(m_progress, &ProgressWnd::Cancelled, this, &QuarnUIDlg::OnProgressCancelled);
    m_progress->BeginModal();
    // Escape and the cancel button work while the event loop runs, not
    // only inside a callback.
    m_progress->WatchInput(true);
}

void QuarnUIDlg::CloseProgress() {
    // Deleting the window enables the main window again.
    m_progress = nullptr;
    m_progressOwner.reset();
}

void QuarnUIDlg::OnProgressCancelled() {
    m_link->RequestCancel();
}

void QuarnUIDlg::OnCopyProgress(int total, int done) {
    if (m_progress == nullptr || m_progress->IsCancelled()) {
        return;
    }
    m_progress->SetBounds(0, total, 1);
    m_progress->SetProgress(done);
}

void QuarnUIDlg::CopyToDevice() {
    // One device operation at a time: the buttons are disabled meanwhile,
    // the arrow key is answered with a beep.
    if (m_link->IsBusy()) {
        QApplication::beep();
        return;
    }
    const QList<int> selected = m_localList->SelectedRows();
    if (selected.isEmpty()) {
        quarnDebug("%s", "No items were selected!\n");
        return;
    }
    RunCopyToDevice(LocalRowFiles(selected));
}

QList<QuarnUIDlg::CopyFile> QuarnUIDlg::LocalRowFiles(const QList<int>& rows) const {
    // The names and marks are read before anything else happens, so the run
    // copies what was selected when it started.
    QList<CopyFile> files;
    const QString folder = m_localList->GetFolder();
    for (int row : rows) {
        CopyFile file;
        if (m_localList->serviceMode) {
            if (m_localList->SubItemImage(row, LocalFileList::HiddenColumn) ==
                FileList::ImageTicked) {
                file.attributes |= 2u;
            }
            if (m_localList->SubItemImage(row, LocalFileList::ReadOnlyColumn) ==
                FileList::ImageTicked) {
                file.attributes |= 1u;
            }
        }
        file.name = m_localList->RowText(row, 0);
        file.localPath = folder + file.name;
        files.append(file);
    }
    return files;
}

void QuarnUIDlg::RunCopyToDevice(const QList<CopyFile>& files) {
    if (files.isEmpty() || !m_link->BeginOperation()) {
        QApplication::beep();
        return;
    }
    m_link->ClearCancel();
    m_copy = CopyRun();
    m_copy.files = files;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    // One progress window for the whole run.
    OpenProgress();
    CopyToDeviceNext();
}

void QuarnUIDlg::CopyToDeviceNext() {
    if (m_copy.next >= m_copy.files.size()) {
        CopyToDeviceEnd(true);
        return;
    }
    const CopyFile file = m_copy.files.at(m_copy.next);
    const QString localPath = file.localPath;
    m_progress->SetStatusText(m_langReader.GetText(Text(TextKeys::PRO_KOPI)) + u' ' + localPath +
                              u' ' + m_langReader.GetText(Text(TextKeys::PRO_TO_TARGET)));
    // A cancel ends the run before the next file is touched, even when it
    // came between two files.
    if (m_progress->IsCancelled()) {
        CopyToDeviceEnd(false);
        return;
    }
    m_link->FileExists(
        QFile::encodeName(file.name), this,
        [this, file, localPath](const DeviceLink::ExistsResult& exists) {
            if (!exists.call.Ok()) {
                CloseProgress();
                ShowCopyError(static_cast<int>(exists.call.result));
                CopyToDeviceEnd(false);
                return;
            }
            if (exists.exists == 1) {
                // A device file is never overwritten: the user is told and
                // the file is skipped.
                AskDuringCopy(localPath + u' ' +
                                  m_langReader.GetText(Text(TextKeys::ERR_FILE_EXISTS)) + u'\n',
                              m_langReader.GetText(Text(TextKeys::ERR_CONFIRM)),
                              Prompter::Icon::None, Prompter::Buttons::Ok);
                ++m_copy.next;
                CopyToDeviceNext();
                return;
            }
            if (m_progress == nullptr || m_progress->IsCancelled()) {
                CopyToDeviceEnd(false);
                return;
            }
            m_link->CopyToDevice(QFile::encodeName(localPath), file.attributes, this,
                                 [this](const DeviceLink::CallResult& call) {
                                     if (call.Ok()) {
                                         // A cancel during the file's last packet comes too
                                         // late for the library, which ignores that answer;
                                         // it still ends the run.
                                         if (m_progress == nullptr || m_progress->IsCancelled()) {
                                             CopyToDeviceEnd(false);
                                             return;
                                         }
                                         ++m_copy.next;
                                         CopyToDeviceNext();
                                         return;
                                     }
                                     CloseProgress();
                                     if (call.result != TRELM_ERROR_FILE_TRANSFER_CANCELLED) {
                                         ShowCopyError(static_cast<int>(call.result));
                                     }
                                     CopyToDeviceEnd(false);
                                 });
        });
}

void QuarnUIDlg::CopyToDeviceEnd(bool reload) {
    CloseProgress();
    QGuiApplication::restoreOverrideCursor();
    m_copy = CopyRun();
    if (!reload || m_holdDeviceList) {
        m_link->EndOperation();
        return;
    }
    repaint();
    // The reload belongs to the run: nothing starts before it is shown.
    m_targetList->Refresh([this](int) { m_link->EndOperation(); });
}

void QuarnUIDlg::CopyFromDevice() {
    RunCopyFromDevice(DeviceRowFiles(m_targetList->SelectedRows()));
}

QList<QuarnUIDlg::CopyFile> QuarnUIDlg::DeviceRowFiles(const QList<int>& rows) const {
    // Name as shown, the device's own bytes of it, and the attribute letters.
    QList<CopyFile> files;
    for (int row : rows) {
        const QTreeWidgetItem* item = m_targetList->topLevelItem(row);
        CopyFile file;
        file.name = m_targetList->RowText(row, 0);
        file.deviceName = item->data(0, TargetFileList::DeviceNameRole).toByteArray();
        if (file.deviceName.isEmpty()) {
            file.deviceName = file.name.toLatin1();
        }
        file.attributeText = m_targetList->RowText(row, 3);
        files.append(file);
    }
    return files;
}

void QuarnUIDlg::RunCopyFromDevice(const QList<CopyFile>& files) {
    if (m_link->IsBusy() || !m_link->BeginOperation()) {
        QApplication::beep();
        return;
    }
    m_link->ClearCancel();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    // No refresh and no device listing between two files. Every way out
    // clears both holds; clearing the device-list hold lists the device once.
    SetHoldRefresh(true);
    m_holdDeviceList = true;

    if (files.isEmpty()) {
        quarnDebug("%s", "No items were selected!\n");
        CopyFromDeviceEnd(false);
        return;
    }
    m_copy = CopyRun();
    m_copy.files = files;
    m_copy.folder = m_localList->GetFolder();
    CopyFromDeviceNext();
}

void QuarnUIDlg::CopyFromDeviceNext() {
    if (m_copy.next >= m_copy.files.size()) {
        CopyFromDeviceEnd(true);
        return;
    }
    const CopyFile file = m_copy.files.at(m_copy.next);
    quarnDebug("%s\n", file.deviceName.constData());

    // The name comes from the device. One that is empty, names the folder
    // itself or its parent, or holds a separator would put the file outside
    // the local folder: it is refused, the run goes on.
    if (!IsPlainFileName(file.name)) {
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
        ShowMessage(
            FormatText(m_langReader.GetText(Text(TextKeys::MSG_BAD_DEVICE_NAME)), file.name),
            Prompter::Icon::Warning);
        QGuiApplication::restoreOverrideCursor();
        ++m_copy.next;
        CopyFromDeviceNext();
        return;
    }

    const QString localPath = m_copy.folder + file.name;
    const QFileInfo local(localPath);
    if (local.exists() || local.isSymLink()) {
        const QString question = file.name + u' ' +
                                 m_langReader.GetText(Text(TextKeys::ERR_FILE_EXISTS)) + u'\n' +
                                 m_langReader.GetText(Text(TextKeys::ERR_OWERWRITE));
        if (AskDuringCopy(question, m_langReader.GetText(Text(TextKeys::ERR_CONFIRM)),
                          Prompter::Icon::Question, Prompter::Buttons::YesNo) != Prompter::Yes) {
            CopyFromDeviceEnd(false);
            return;
        }
    }

    // A progress window of its own for every file.
    OpenProgress();
    m_progress->SetStatusText(m_langReader.GetText(Text(TextKeys::PRO_KOPI)) + u' ' + file.name +
                              u' ' + m_langReader.GetText(Text(TextKeys::PRO_FROM_TARGET)));
    m_link->CopyFromDevice(file.deviceName, QFile::encodeName(localPath), this,
                           [this, file](const DeviceLink::CallResult& call) {
                               if (call.Ok()) {
                                   // The local list gives the file the device's attributes as
                                   // its marks at its next listing in service mode.
                                   m_localList->pendingAttributes.append(
                                       LocalFileList::PendingAttribute{
                                           file.name, file.attributeText.contains(u'h') ? 1 : 0,
                                           file.attributeText.contains(u'r') ? 1 : 0});
                                   // A cancel during the file's last packet comes too late for
                                   // the library; the file is complete, the run ends.
                                   if (m_progress == nullptr || m_progress->IsCancelled()) {
                                       CopyFromDeviceEnd(false);
                                       return;
                                   }
                                   CloseProgress();
                                   ++m_copy.next;
                                   CopyFromDeviceNext();
                                   return;
                               }
                               if (call.result != TRELM_ERROR_FILE_TRANSFER_CANCELLED) {
                                   if (m_progress != nullptr) {
                                       m_progress->HideWindow();
                                   }
                                   ShowCopyError(static_cast<int>(call.result));
                               }
                               CopyFromDeviceEnd(false);
                           });
}

void QuarnUIDlg::CopyFromDeviceEnd(bool refreshLocal) {
    CloseProgress();
    if (refreshLocal) {
        RefreshLocalList();
    }
    m_copy = CopyRun();
    SetHoldRefresh(false);
    m_holdDeviceList = false;
    QGuiApplication::restoreOverrideCursor();
    // Releasing the device-list hold lists the device once; the listing
    // belongs to the run.
    m_targetList->Refresh([this](int) { m_link->EndOperation(); });
}

// ---- Drag and drop ---------------------------------------------------------

QString QuarnUIDlg::DropRefusal(const CopyFile& file) const {
    const QFileInfo info(file.localPath);
    const auto reason = [this](const char* key) { return m_langReader.GetText(Text(key)); };
    if (info.isDir()) {
        return reason(TextKeys::DROP_FOLDER);
    }
    if (!info.isFile()) {
        return reason(TextKeys::DROP_NOT_FILE);
    }
    if (info.size() > MaxDeviceFileSize) {
        return reason(TextKeys::DROP_TOO_LARGE);
    }
    if (!FitsDeviceName(file.name)) {
        return reason(TextKeys::DROP_BAD_NAME);
    }
    return QString();
}

bool QuarnUIDlg::FitsDeviceName(const QString& name) {
    // At most 12 characters, at most 8 before the first dot and at most 3
    // after it, as the device and the library count them.
    const QByteArray bytes = QFile::encodeName(name);
    if (bytes.isEmpty() || bytes.size() > 12) {
        return false;
    }
    const qsizetype dot = bytes.indexOf('.');
    const qsizetype base = dot < 0 ? bytes.size() : dot;
    const qsizetype extension = dot < 0 ? 0 : bytes.size() - dot - 1;
    return base <= 8 && extension <= 3;
}

bool QuarnUIDlg::CanTakeDrop() const {
    // A drop starts a copy: only while the device answers and nothing else
    // runs, as for the copy buttons.
    return m_connected && !IsDeviceBusy() && m_progress == nullptr && isEnabled();
}

bool QuarnUIDlg::DropOnDevice(const QMimeData* data, bool drop) {
    if (data == nullptr || data->hasFormat(FileList::DeviceRowsFormat()) || !CanTakeDrop()) {
        return false;
    }
    QList<CopyFile> files;
    if (data->hasFormat(FileList::LocalRowsFormat())) {
        // Rows of the local pane: the same files, with their marks, as the
        // copy button takes them.
        files = LocalRowFiles(
            m_localList->FindRows(FileList::DraggedNames(data, FileList::LocalRowsFormat())));
    } else if (data->hasUrls()) {
        // Files from a file manager, from wherever they are.
        for (const QUrl& url : data->urls()) {
            CopyFile file;
            file.localPath = url.isLocalFile() ? url.toLocalFile() : QString();
            file.name =
                url.isLocalFile() ? QFileInfo(file.localPath).fileName() : url.toDisplayString();
            files.append(file);
        }
    }
    if (files.isEmpty()) {
        return false;
    }
    // Whatever the device cannot take is named in one notice; the rest is
    // copied.
    QList<CopyFile> accepted;
    QString refused;
    for (const CopyFile& file : std::as_const(files)) {
        const QString reason = DropRefusal(file);
        if (reason.isEmpty()) {
            accepted.append(file);
        } else {
            refused += u'\n' + file.name + QStringLiteral(" \u2014 ") + reason;
        }
    }
    if (!drop) {
        // While the data is held over the pane, the status bar says what a
        // drop would do.
        statusBar->showMessage(
            TextTemplate::Fill(
                GetTextOrDefault(Text(TextKeys::STB_DROP),
                                 QStringLiteral("Drop to copy %d to the device; %d refused")),
                {QString::number(accepted.size()),
                 QString::number(files.size() - accepted.size())}),
            1500);
        return true;
    }
    statusBar->clearMessage();
    if (!refused.isEmpty()) {
        ShowMessage(FormatText(m_langReader.GetText(Text(TextKeys::MSG_DROP_REFUSED)), refused),
                    Prompter::Icon::Warning);
    }
    if (!accepted.isEmpty()) {
        RunCopyToDevice(accepted);
    }
    return true;
}

bool QuarnUIDlg::DropOnLocal(const QMimeData* data, bool drop) {
    if (data == nullptr || !data->hasFormat(FileList::DeviceRowsFormat()) || !CanTakeDrop()) {
        return false;
    }
    const QList<int> rows =
        m_targetList->FindRows(FileList::DraggedNames(data, FileList::DeviceRowsFormat()));
    if (rows.isEmpty() || !drop) {
        return !rows.isEmpty();
    }
    // The copy button's run: the same questions for files that exist.
    RunCopyFromDevice(DeviceRowFiles(rows));
    return true;
}

QList<QUrl> QuarnUIDlg::ExportDeviceFiles(const QStringList& names) {
    const QList<CopyFile> files = DeviceRowFiles(m_targetList->FindRows(names));
    if (files.isEmpty() || m_progress != nullptr || !m_link->BeginOperation()) {
        QApplication::beep();
        return {};
    }
    // The files go into a folder of the program's own, one per drag, from
    // which the file manager copies them; it is removed when the program
    // ends.
    if (!exportFolder) {
        exportFolder = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                       QStringLiteral("/quarnloader-XXXXXX"));
    }
    const QString folder = exportFolder->path() + QStringLiteral("/drag%1/").arg(++exportCount);
    if (!exportFolder->isValid() || !QDir().mkpath(folder)) {
        m_link->EndOperation();
        // Said once the file manager has its (empty) answer.
        QTimer::singleShot(0, this, [this] { ShowProgramError(SystemError::FromErrno(EACCES)); });
        return {};
    }
    m_link->ClearCancel();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QList<QUrl> urls;
    int failure = TRELM_OK;
    bool complete = true;
    for (const CopyFile& file : files) {
        if (!IsPlainFileName(file.name)) {
            complete = false;
            break;
        }
        const QString path = folder + file.name;
        OpenProgress();
        m_progress->SetStatusText(m_langReader.GetText(Text(TextKeys::PRO_KOPI)) + u' ' +
                                  file.name + u' ' +
                                  m_langReader.GetText(Text(TextKeys::PRO_FROM_TARGET)));
        // The file manager waits for its answer while the device sends the
        // file; this window keeps running meanwhile (repaints, Cancel).
        QEventLoop wait;
        DeviceLink::CallResult result;
        bool answered = false;
        m_link->CopyFromDevice(file.deviceName, QFile::encodeName(path), this,
                               [&](const DeviceLink::CallResult& call) {
                                   result = call;
                                   answered = true;
                                   wait.quit();
                               });
        if (!answered) {
            wait.exec();
        }
        const bool cancelled = m_progress == nullptr || m_progress->IsCancelled();
        CloseProgress();
        if (!result.Ok() || cancelled) {
            complete = false;
            failure = static_cast<int>(result.result);
            break;
        }
        urls.append(QUrl::fromLocalFile(path));
    }
    QGuiApplication::restoreOverrideCursor();
    m_link->EndOperation();
    if (complete) {
        return urls;
    }
    // A drop that did not complete hands over nothing.
    QDir(folder).removeRecursively();
    if (failure != TRELM_OK && failure != TRELM_ERROR_FILE_TRANSFER_CANCELLED) {
        // Said once the file manager has its (empty) answer.
        QTimer::singleShot(0, this, [this, failure] { ShowLibraryError(failure); });
    }
    return {};
}

// ---- Window state and status bar ------------------------------------------

void QuarnUIDlg::RestoreWindowState() {
    const QByteArray geometry =
        QByteArray::fromBase64(ReadSetting(WINDOW, GEOMETRY, QString()).toLatin1());
    if (!geometry.isEmpty()) {
        // Qt keeps a restored window on a screen that exists now.
        restoreGeometry(geometry);
    }
    const QByteArray state =
        QByteArray::fromBase64(ReadSetting(WINDOW, SPLITTER, QString()).toLatin1());
    if (!state.isEmpty()) {
        splitter->restoreState(state);
    }
}

void QuarnUIDlg::SaveWindowState() {
    if (!m_settings.IsLoaded()) {
        return;
    }
    WriteSetting(WINDOW, GEOMETRY, QString::fromLatin1(saveGeometry().toBase64()));
    WriteSetting(WINDOW, SPLITTER, QString::fromLatin1(splitter->saveState().toBase64()));
    const int columns = m_targetList->header()->count();
    if (columns > 0) {
        QStringList widths;
        for (int i = 0; i < columns; ++i) {
            widths.append(QString::number(m_targetList->columnWidth(i)));
        }
        WriteSetting(WINDOW, DEVICE_COLUMNS, widths.join(u','));
    }
}

void QuarnUIDlg::SetDeviceColumns() {
    m_targetList->SetColumns(BuildHeading());
    // The device list keeps the widths it had when the window was closed.
    const QStringList widths =
        ReadSetting(WINDOW, DEVICE_COLUMNS, QString()).split(u',', Qt::SkipEmptyParts);
    const int columns = m_targetList->header()->count();
    for (int i = 0; i < columns && i < widths.size(); ++i) {
        bool ok = false;
        const int width = widths.at(i).trimmed().toInt(&ok);
        if (ok && width >= 0 && width <= 100000) {
            m_targetList->setColumnWidth(i, width);
        }
    }
}

void QuarnUIDlg::UpdateStatusBar() {
    const auto text = [this](const char* key, const QString& fallback) {
        return GetTextOrDefault(Text(key), fallback);
    };
    const auto files = [](const FileList* list) {
        return QStringList{QString::number(list->RowCount()),
                           ByteSize::Format(static_cast<std::uint64_t>(list->TotalBytes()))};
    };
    QString connection;
    std::uint32_t value1 = 0;
    std::uint32_t value2 = 0;
    if (m_connected && m_targetList->DeviceInfo(value1, value2)) {
        connection = TextTemplate::Fill(
            text(TextKeys::STB_CONNECTED, QStringLiteral("%s \u00b7 device information %d, %d")),
            {PortDescription(), QString::number(value1), QString::number(value2)});
        statusDeviceFiles->setText(TextTemplate::Fill(
            text(TextKeys::STB_DEVICE_FILES, QStringLiteral("Device files: %d, %s")),
            files(m_targetList)));
    } else {
        connection = TextTemplate::Fill(
            text(TextKeys::STB_NOT_CONNECTED, QStringLiteral("Not connected \u00b7 %s")),
            {PortDescription()});
        statusDeviceFiles->clear();
    }
    // (A message of the status bar hides and brings back its parts itself.)
    if (statusBar->currentMessage().isEmpty()) {
        deviceSeparator->setVisible(!statusDeviceFiles->text().isEmpty());
    }
    statusConnection->setText(connection);
    statusLocalFiles->setText(
        TextTemplate::Fill(text(TextKeys::STB_LOCAL_FILES, QStringLiteral("Local files: %d, %s")),
                           files(m_localList)));
}

// ---- Errors and statistics ----------------------------------------------

QString QuarnUIDlg::LibraryErrorText(int code) {
    if (code < TRELM_ERROR_UNKNOWN || code > TRELM_ERROR_DEVICE_UNKNOWN_CMD) {
        return QString();
    }
    const QString key = Text(TextKeys::RESULT_CODE_NAMES[code]);
    QString text = LibraryCodeIsLookedUp(code) ? m_errReader.GetText(key) : key;
    if (code == TRELM_ERROR_DEVICE_ERROR || code == TRELM_ERROR_DEVICE_UNKNOWN_CMD) {
        text += QStringLiteral("\nDeviceError was :") + GetDeviceErrorText();
    }
    return text;
}

QString QuarnUIDlg::OpenFailureText(int result, int port) {
    QString text = LibraryErrorText(result);
    if (result == TRELM_ERROR_COMPORT_NOT_OPENED && port > 0) {
        const QString device = ComPortSelector::DevicePathOf(port);
        if (PortPermission::IsDenied(device)) {
            text += QStringLiteral("\n\n") + PortPermission::Hint(m_errReader, {device});
        }
    }
    return text;
}

void QuarnUIDlg::ShowLibraryError(int code) {
    ShowMessage(LibraryErrorText(code), Prompter::Icon::None);
}

QString QuarnUIDlg::GetDeviceErrorText() {
    // Read by the link right after the call that failed.
    const TRELM_DeviceError deviceError = m_link->LastDeviceError();
    if (deviceError > TRELM_DEVICE_ERROR_MAX_ERROR) {
        return QString();
    }
    return m_errReader.GetText(Text(TextKeys::DEVICE_ERROR_NAMES[deviceError]));
}

QString QuarnUIDlg::ProgramErrorText(int code) const {
    return m_errReader.GetText(Text(ProgramErrorKey(code)));
}

void QuarnUIDlg::ShowProgramError(int code) {
    ShowMessage(ProgramErrorText(code), Prompter::Icon::None);
}

void QuarnUIDlg::ShowStatistics() {
    if (m_link->IsBusy()) {
        QApplication::beep();
        return;
    }
    m_link->GetStatistics(this, [this](const DeviceLink::StatisticsResult& answer) {
        const TRELM_STATISTICS& statistics = answer.statistics;
        FileInfo info(m_langReader, this);
        // "%i": values above 2147483647 show as negative numbers.
        info.m_totalText =
            QString::asprintf("%i bytes", static_cast<int32_t>(statistics.AllocatedFileSpace));
        info.m_usedText =
            QString::asprintf("%i bytes", static_cast<int32_t>(statistics.SpaceInUse));
        info.m_totalLabel = m_langReader.GetText(Text(TextKeys::LBL_TOTAL_SPACE));
        info.m_usedLabel = m_langReader.GetText(Text(TextKeys::LBL_USED_SPACE));
        info.exec();
    });
}

// ---- Main-window messages ------------------------------------------------

int QuarnUIDlg::ChangeLanguage(const QString& languageName) {
    m_langReader.Clear();
    const QString file = Text(LANGUAGE_FILE_PREFIX) + languageName + Text(LANGUAGE_FILE_SUFFIX);
    if (!m_langReader.Load(m_startupFolder + file)) {
        ShowProgramError(ErrorChangeLanguage);
        return 0;
    }
    SetWindowTexts();
    BuildMenu();
    update();
    const QString errorFile = QString(file).replace(Text(LANGUAGE_MARK), Text(ERROR_MARK));
    WriteSetting(APPLICATION, LANGUAGE, file);
    WriteSetting(APPLICATION, ERROR_FILE, errorFile);
    m_errReader.Load(m_startupFolder + errorFile);
    return 1;
}

bool QuarnUIDlg::UpdateFileLibrary() {
    return m_localList->UpdateFileLibrary();
}

bool QuarnUIDlg::IsServiceMode() const {
    return m_localList->serviceMode;
}

int QuarnUIDlg::ProgramError(int code) {
    ShowProgramError(code);
    return 0;
}

int QuarnUIDlg::PortAccessDenied(const QStringList& devicePaths) {
    ShowMessage(PortPermission::Hint(m_errReader, devicePaths), Prompter::Icon::Warning);
    return 0;
}

int QuarnUIDlg::Reconnect() {
    quarnDebug("Changing TRELM Com settings, and reload\n");
    Connect();
    return 1;
}

int QuarnUIDlg::ShowHidden() {
    m_localList->serviceMode = true;
    m_targetList->serviceMode = true;
    // The listing waits for a device operation under way (a reconnect that
    // the same apply started, say).
    RunWhenIdle([this] {
        RefreshDeviceList();
        RefreshLocalList();
    });
    return 1;
}

int QuarnUIDlg::FlushFileLibrary() {
    if (!m_localList->DeleteFileLibrary()) {
        ShowProgramError(ErrorFlushFileLibrary);
        return 0;
    }
    return 1;
}

int QuarnUIDlg::LibraryError(int code) {
    ShowLibraryError(code);
    return 0;
}

int QuarnUIDlg::Refresh() {
    RefreshAll();
    return 0;
}

int QuarnUIDlg::DeviceListState(int fileCount, int deviceAnswered) {
    m_connected = deviceAnswered == 1;
    EnableCopyButtons(m_connected && m_localList->RowCount() > 0, m_connected && fileCount != 0);
    UpdateStatusBar();
    return 1;
}

int QuarnUIDlg::LocalListState(int fileCount, int /*value*/) {
    EnableCopyButtons(m_connected && fileCount != 0, m_wantFromDevice);
    UpdateStatusBar();
    return 1;
}

QString QuarnUIDlg::FormatText(const QString& format, const QString& text) {
    QString result;
    bool used = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'%' && i + 1 < format.size()) {
            const QChar next = format.at(i + 1);
            if (next == u'%') {
                result += u'%';
                ++i;
                continue;
            }
            if (next == u's' && !used) {
                result += text;
                used = true;
                ++i;
                continue;
            }
        }
        result += c;
    }
    return result;
}

QString QuarnUIDlg::StatusDeviceFiles() const {
    return statusDeviceFiles->text();
}

QString QuarnUIDlg::StatusConnection() const {
    return statusConnection->text();
}

QString QuarnUIDlg::StatusLocalFiles() const {
    return statusLocalFiles->text();
}
