#include "Form3.h"

#include "Appearance.h"
#include "Daiarog.h"
#include "FileLock.h"
#include "Texts.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
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

Form3::Form3(Platform& platform, const QByteArray& listPath)
    : LauncherDialog(platform, Texts::Options, QSize(5040, 4005)), listPath_(listPath) {
    setObjectName(QStringLiteral("Form3"));
    buildRegistrationFrame();
    buildStartupFrame();
    buildQuickFileFrame();
    buildButtons();
    setTabOrderByIndex();
    connectControls();
    Text1->setFocus();
    Form_Load();
}

void Form3::buildRegistrationFrame() {
    QGroupBox* frame =
        addFrame(this, "Frame1", QStringLiteral("ショートカット登録"), {120, 120, 4815, 975});
    Text1 = addTextBox(frame, "Text1", Texts::DisplayName, {240, 240, 1455, 270});
    Text2 = addTextBox(frame, "Text2", Texts::TargetPath, {1800, 240, 1575, 270});
    Text2->setText(InitialTargetPath);
    Command2 = addBrowseButton(frame, "Command2", Text2, {3480, 360, 255, 180});
    Command1 = addButton(frame, "Command1", QStringLiteral("登録"), {3960, 290, 615, 255});

    // The ideographic space puts the second half of the hint under Text2.
    const QString hint = Texts::DisplayName + QChar(0x3000) + Texts::TargetPath;
    auto* label = new QLabel(hint, frame);
    label->setObjectName(QStringLiteral("Label1"));
    label->setAccessibleName(hint);
    placeTwips(label, {360, 600, 3600, 180});
}

void Form3::buildStartupFrame() {
    QGroupBox* frame = addFrame(this, "Frame2", Texts::StartupList, {120, 1320, 4815, 735});
    Text3 = addTextBox(frame, "Text3", Texts::StartupList, {240, 360, 1455, 270});
    Command3 = addBrowseButton(frame, "Command3", Text3, {1800, 480, 255, 180});
}

void Form3::buildQuickFileFrame() {
    QGroupBox* frame =
        addFrame(this, "Frame3", QStringLiteral("メニューにショートカットファイルを置く"),
                 {120, 2280, 4815, 1095});
    const QString name = QStringLiteral("ショートカットファイル%1");
    Text4 = addTextBox(frame, "Text4", name.arg(1), {240, 360, 1455, 270});
    Command5 = addBrowseButton(frame, "Command5", Text4, {1800, 480, 255, 180});
    Text5 = addTextBox(frame, "Text5", name.arg(2), {2160, 360, 1455, 270});
    Command7 = addBrowseButton(frame, "Command7", Text5, {3720, 480, 255, 180});
    Text6 = addTextBox(frame, "Text6", name.arg(3), {240, 720, 1455, 270});
    Command8 = addBrowseButton(frame, "Command8", Text6, {1800, 840, 255, 180});
    Text7 = addTextBox(frame, "Text7", name.arg(4), {2160, 720, 1455, 270});
    Command9 = addBrowseButton(frame, "Command9", Text7, {3720, 840, 255, 180});
}

void Form3::buildButtons() {
    OK = addButton(this, "OK", QStringLiteral("OK"), {3480, 3600, 615, 255});
    Command10 = addButton(this, "Command10", QStringLiteral("Close"), {4200, 3600, 735, 255});
}

void Form3::setTabOrderByIndex() {
    const QList<QWidget*> order = {Text1, Text2,    Command2, Command1, Text3, Command3,
                                   Text4, Command5, Text5,    Command7, Text6, Command8,
                                   Text7, Command9, OK,       Command10};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void Form3::connectControls() {
    connect(Command1, &QPushButton::clicked, this, &Form3::registerShortcut);
    const std::pair<QPushButton*, QLineEdit*> browsers[] = {{Command2, Text2}, {Command3, Text3},
                                                            {Command5, Text4}, {Command7, Text5},
                                                            {Command8, Text6}, {Command9, Text7}};
    for (const auto& [button, box] : browsers) {
        // Only the target box takes programs; the others take list files.
        const QString filter = box == Text2 ? ProgramFilter : Texts::ListFilter;
        connect(button, &QPushButton::clicked, this,
                [this, box, filter] { browseInto(box, filter); });
    }
    connect(OK, &QPushButton::clicked, this, &Form3::saveAndClose);
    connect(Command10, &QPushButton::clicked, this, &QWidget::close);
}

void Form3::Form_Load() {
    centreOnScreen();
    LoadSettingsToDialog();
    // Nothing is written here, whatever the read meets: each registration
    // reads the file again and decides then.
    static_cast<void>(readList());
}

SettingsLocation Form3::settingsFiles() {
    return settingsLocation(platform_.appPath(), platform_.userSettingsFolder());
}

void Form3::LoadSettingsToDialog() {
    // A settings file that cannot be read is left as it is; the boxes stay
    // empty and the corner unknown, as the launcher itself reads such a file.
    if (readSettingsFile(settingsFiles().readFrom, settings_) != ErrorNumber::None) {
        settings_ = Settings();
        return;
    }
    Text3->setText(settings_.startupListPath);
    Text4->setText(settings_.quickFiles[0]);
    Text5->setText(settings_.quickFiles[1]);
    Text6->setText(settings_.quickFiles[2]);
    Text7->setText(settings_.quickFiles[3]);
}

// The dialog has no box for the corner; the launcher, or another launcher,
// may have moved to another corner while the dialog was open, and writing
// back the corner read at the opening would undo that. So the file is read
// again, under the lock, and only the values of the boxes change in it.
void Form3::SaveSettingsFromDialog() {
    const ErrorNumber failure =
        updateSettingsAt(settingsFiles(), settings_, [this](Settings& current) {
            current.startupListPath = settings_.startupListPath;
            current.quickFiles = settings_.quickFiles;
        });
    if (failure != ErrorNumber::None)
        platform_.showMessage(Texts::WriteError);
}

ErrorNumber Form3::readList() {
    list_ = ShortcutList();
    return ReadShortcutList(listPath_, list_);
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
        platform_.showMessage(Texts::WriteError);
        return;
    }
    if (const QString refusal = refusalToRegister(); !refusal.isEmpty()) {
        platform_.showMessage(refusal);
        return;
    }
    ShortcutEntry entry;
    entry.name = singleLine(Text1->text());
    entry.path = singleLine(Text2->text());
    // On failure the boxes keep what the user typed, for another try.
    if (AppendShortcutEntry(listPath_, list_, entry) != ErrorNumber::None) {
        platform_.showMessage(Texts::WriteError);
        return;
    }
    Text1->clear();
    Text2->setText(InitialTargetPath);
    Text1->setFocus();
}

void Form3::browseInto(QLineEdit* box, const QString& filter) {
    Daiarog::InitFileDialog(openFileRecord_, filter, QString());
    box->setText(Daiarog::ShowOpenDialog(platform_, this, openFileRecord_, Texts::OpenFileTitle));
}

void Form3::saveAndClose() {
    settings_.startupListPath = singleLine(Text3->text());
    settings_.quickFiles = {singleLine(Text4->text()), singleLine(Text5->text()),
                            singleLine(Text6->text()), singleLine(Text7->text())};
    SaveSettingsFromDialog();
    // The launcher refuses the close, goes to the tray and reloads its list;
    // this dialog's own closing then brings it back into view.
    emit launcherCloseRequested();
    close();
}

void Form3::fillRegistration(const QString& name, const QString& path) {
    Text1->setText(name);
    Text2->setText(path);
    Text1->setFocus();
}
