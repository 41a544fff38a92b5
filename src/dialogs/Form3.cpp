#include "Form3.h"

#include "Daiarog.h"
#include "FileLock.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

namespace {
const QString InitialTargetPath = QStringLiteral("C:\\");
const QString ProgramFilter = QStringLiteral("exe|*.exe");
const QString BrowseCaption = QStringLiteral(".");

// A frame as the classic desktop draws one: an etched line around the
// group, whose title interrupts its top edge. The line runs at the middle of
// the title, so the controls placed below the title are clear of both. (Qt's
// own group box puts its line under the title, through those controls.)
class TitledFrame : public QGroupBox {
  public:
    using QGroupBox::QGroupBox;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QFontMetrics metrics = fontMetrics();
        const QRect line = rect().adjusted(0, metrics.height() / 2, 0, 0);
        qDrawShadeRect(&painter, line, palette(), true, 1, 0);
        const int padding = 2;
        const QRect label(metrics.averageCharWidth(), 0,
                          metrics.horizontalAdvance(title()) + 2 * padding, metrics.height());
        painter.fillRect(label, palette().window());
        style()->drawItemText(&painter, label, Qt::AlignCenter, palette(), isEnabled(), title(),
                              QPalette::WindowText);
    }
};

QGroupBox* addFrame(QWidget* parent, const char* name, const QString& title,
                    const TwipsRect& rect) {
    auto* frame = new TitledFrame(title, parent);
    frame->setObjectName(QLatin1String(name));
    placeTwips(frame, rect);
    return frame;
}

QLineEdit* addTextBox(QWidget* frame, const char* name, const QString& accessibleName,
                      const TwipsRect& rect) {
    auto* box = new QLineEdit(frame);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(accessibleName);
    placeTwips(box, rect);
    return box;
}

// The six browse buttons all read ".", so each tells a screen reader which
// box it fills.
QPushButton* addBrowseButton(QWidget* frame, const char* name, const QLineEdit* box,
                             const TwipsRect& rect) {
    QPushButton* button = addButton(frame, name, BrowseCaption, rect);
    button->setFont(programFont(8.25));
    button->setAccessibleName(BrowseCaption);
    button->setAccessibleDescription(box->accessibleName());
    return button;
}
} // namespace

Form3::Form3(Platform& platform, const QString& listPath)
    : LauncherDialog(platform, Texts::Options, QSize(5040, 4005)), listPath_(listPath) {
    setObjectName(QStringLiteral("Form3"));
    buildRegistrationFrame();
    buildStartupFrame();
    buildQuickFileFrame();
    buildButtons();
    setTabOrderByIndex();
    connectControls();
    text1_->setFocus();
    Form_Load();
}

void Form3::buildRegistrationFrame() {
    QGroupBox* frame =
        addFrame(this, "Frame1", QStringLiteral("ショートカット登録"), {120, 120, 4815, 975});
    text1_ = addTextBox(frame, "Text1", Texts::DisplayName, {240, 240, 1455, 270});
    text2_ = addTextBox(frame, "Text2", Texts::TargetPath, {1800, 240, 1575, 270});
    text2_->setText(InitialTargetPath);
    command2_ = addBrowseButton(frame, "Command2", text2_, {3480, 360, 255, 180});
    command1_ = addButton(frame, "Command1", QStringLiteral("登録"), {3960, 290, 615, 255});

    // The ideographic space puts the second half of the hint under Text2.
    const QString hint = Texts::DisplayName + QChar(0x3000) + Texts::TargetPath;
    auto* label = new QLabel(hint, frame);
    label->setObjectName(QStringLiteral("Label1"));
    label->setAccessibleName(hint);
    placeTwips(label, {360, 600, 3600, 180});
}

void Form3::buildStartupFrame() {
    QGroupBox* frame = addFrame(this, "Frame2", Texts::StartupList, {120, 1320, 4815, 735});
    text3_ = addTextBox(frame, "Text3", Texts::StartupList, {240, 360, 1455, 270});
    command3_ = addBrowseButton(frame, "Command3", text3_, {1800, 480, 255, 180});
}

void Form3::buildQuickFileFrame() {
    QGroupBox* frame =
        addFrame(this, "Frame3", QStringLiteral("メニューにショートカットファイルを置く"),
                 {120, 2280, 4815, 1095});
    const QString name = QStringLiteral("ショートカットファイル%1");
    text4_ = addTextBox(frame, "Text4", name.arg(1), {240, 360, 1455, 270});
    command5_ = addBrowseButton(frame, "Command5", text4_, {1800, 480, 255, 180});
    text5_ = addTextBox(frame, "Text5", name.arg(2), {2160, 360, 1455, 270});
    command7_ = addBrowseButton(frame, "Command7", text5_, {3720, 480, 255, 180});
    text6_ = addTextBox(frame, "Text6", name.arg(3), {240, 720, 1455, 270});
    command8_ = addBrowseButton(frame, "Command8", text6_, {1800, 840, 255, 180});
    text7_ = addTextBox(frame, "Text7", name.arg(4), {2160, 720, 1455, 270});
    command9_ = addBrowseButton(frame, "Command9", text7_, {3720, 840, 255, 180});
}

void Form3::buildButtons() {
    ok_ = addButton(this, "OK", QStringLiteral("OK"), {3480, 3600, 615, 255});
    command10_ = addButton(this, "Command10", QStringLiteral("Close"), {4200, 3600, 735, 255});
}

void Form3::setTabOrderByIndex() {
    const QList<QWidget*> order = {text1_, text2_,    command2_, command1_, text3_, command3_,
                                   text4_, command5_, text5_,    command7_, text6_, command8_,
                                   text7_, command9_, ok_,       command10_};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void Form3::connectControls() {
    connect(command1_, &QPushButton::clicked, this, &Form3::registerShortcut);
    const std::pair<QPushButton*, QLineEdit*> browsers[] = {
        {command2_, text2_}, {command3_, text3_}, {command5_, text4_},
        {command7_, text5_}, {command8_, text6_}, {command9_, text7_}};
    for (const auto& [button, box] : browsers) {
        // Only the target box takes programs; the others take list files.
        const QString filter = box == text2_ ? ProgramFilter : Texts::ListFilter;
        connect(button, &QPushButton::clicked, this,
                [this, box, filter] { browseInto(box, filter); });
    }
    connect(ok_, &QPushButton::clicked, this, &Form3::saveAndClose);
    connect(command10_, &QPushButton::clicked, this, &QWidget::close);
}

void Form3::Form_Load() {
    centreOnScreen();
    loadSettingsToDialog();
    // Nothing is written here, whatever the read meets: each registration
    // reads the file again and decides then.
    static_cast<void>(readList());
}

SettingsLocation Form3::settingsFiles() {
    return settingsLocation(platform_.appPath(), platform_.userSettingsFolder());
}

void Form3::loadSettingsToDialog() {
    // A settings file that cannot be read is left as it is; the boxes stay
    // empty and the corner unknown, as the launcher itself reads such a file.
    if (readSettingsFile(settingsFiles().readFrom, settings_) != ErrorNumber::None) {
        settings_ = Settings();
        return;
    }
    text3_->setText(settings_.startupListPath);
    text4_->setText(settings_.quickFiles[0]);
    text5_->setText(settings_.quickFiles[1]);
    text6_->setText(settings_.quickFiles[2]);
    text7_->setText(settings_.quickFiles[3]);
}

// The dialog has no box for the corner; the launcher, or another launcher,
// may have moved to another corner while the dialog was open, and writing
// back the corner read at the opening would undo that. So the file is read
// again, under the lock, and only the values of the boxes change in it.
void Form3::saveSettingsFromDialog() {
    const ErrorNumber failure =
        updateSettingsAt(settingsFiles(), settings_, [this](Settings& current) {
            current.startupListPath = settings_.startupListPath;
            current.quickFiles = settings_.quickFiles;
        });
    if (failure != ErrorNumber::None)
        showMessage(Texts::WriteError);
}

ErrorNumber Form3::readList() {
    list_ = ShortcutList();
    return readShortcutList(listPath_, list_);
}

// Reads the list file as it is now, so that a registration never writes back
// a stale copy over entries another window or program has changed since.
// Answers the message that refuses the registration, or the empty text.
QString Form3::refusalToRegister() {
    switch (readList()) {
    case ErrorNumber::None:
        return list_.count < MaxShortcutEntries ? QString() : Texts::NoRoom;
    case ErrorNumber::FileNotFound:
        list_.count = 0; // a new list: the registration creates its file
        return QString();
    case ErrorNumber::PathFileAccess: // a folder, an empty path, no access
    case ErrorNumber::PermissionDenied:
        return Texts::WriteError;
    default:
        // Over-full or damaged: a rewrite would drop what could not be read.
        return Texts::NoRoom;
    }
}

void Form3::registerShortcut() {
    // Held from the reading to the writing, so that another launcher
    // registering into the same list at the same moment waits its turn.
    FileLock lock;
    if (lock.lock(listPath_) != ErrorNumber::None) {
        showMessage(Texts::WriteError);
        return;
    }
    if (const QString refusal = refusalToRegister(); !refusal.isEmpty()) {
        showMessage(refusal);
        return;
    }
    ShortcutEntry entry;
    entry.name = singleLine(text1_->text());
    entry.path = singleLine(text2_->text());
    // On failure the boxes keep what the user typed, for another try.
    if (appendShortcutEntry(listPath_, list_, entry) != ErrorNumber::None) {
        showMessage(Texts::WriteError);
        return;
    }
    text1_->clear();
    text2_->setText(InitialTargetPath);
    text1_->setFocus();
}

void Form3::browseInto(QLineEdit* box, const QString& filter) {
    Daiarog::initFileDialog(openFileRecord_, filter, QString());
    const auto owner = static_cast<HWND>(winId());
    box->setText(Daiarog::showOpenDialog(platform_, owner, openFileRecord_, Texts::OpenFileTitle));
}

void Form3::saveAndClose() {
    settings_.startupListPath = singleLine(text3_->text());
    settings_.quickFiles = {singleLine(text4_->text()), singleLine(text5_->text()),
                            singleLine(text6_->text()), singleLine(text7_->text())};
    saveSettingsFromDialog();
    // The launcher refuses the close, goes to the tray and reloads its list;
    // this dialog's own closing then brings it back into view.
    emit launcherCloseRequested();
    close();
}

void Form3::fillRegistration(const QString& name, const QString& path) {
    text1_->setText(name);
    text2_->setText(path);
    text1_->setFocus();
}
