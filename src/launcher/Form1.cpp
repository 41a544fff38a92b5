#include "Form1.h"

#include "Appearance.h"
#include "Daiarog.h"
#include "DroppedItem.h"
#include "FileName.h"
#include "Form2.h"
#include "Form3.h"
#include "Platform.h"
#include "RePlaceOnFrameChange.h"
#include "Texts.h"
#include "Twips.h"
#include "WindowSize.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>

namespace {
const QByteArray DefaultListPath = QByteArrayLiteral("Cat.xxa");

// A button whose picture fills it whole, over the place where the style
// draws the focus mark; the mark is drawn over the picture instead, or a
// keyboard user could not see that the button has the focus. As the style
// does for the other buttons, only once the keyboard has moved the focus.
class PictureButton : public QPushButton {
  public:
    using QPushButton::QPushButton;

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPushButton::paintEvent(event);
        if (!hasFocus() || !window()->testAttribute(Qt::WA_KeyboardFocusChange))
            return;
        QPainter painter(this);
        painter.setPen(QPen(palette().color(QPalette::ButtonText), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(2, 2, -3, -3));
    }
};
} // namespace

Form1::Form1(Platform& platform, QWidget* parent)
    : QWidget(parent), platform_(platform), placement_(new RePlaceOnFrameChange(platform, this)) {
    setObjectName(QStringLiteral("Form1"));
    // The launcher hides into the tray; a menu or dialog closing then must not
    // end the program. Only the two quit commands do.
    QApplication::setQuitOnLastWindowClosed(false);
    setUpProgramWindow(this, Texts::Title);
    // Files, folders and links dropped on the window become shortcuts.
    setAcceptDrops(true);
    buildControls();
    menus_ = buildLauncherMenus(this);
    connectControls();
}

Form1::~Form1() {
    // The dialogs have no owner; they go with the launcher.
    delete form3_;
    delete form2_;
}

void Form1::buildControls() {
    const qreal dpi = logicalDpiX();
    setClientSize(this, QSize(twipsToPixels(3630, dpi), twipsToPixels(270, dpi)));
    // Where the window stands until start-up moves it into its corner.
    move(twipsToPixels(4305, dpi), twipsToPixels(2985, dpi));

    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setEditText(Texts::ApplicationName);
    Combo1->setAccessibleName(Texts::ApplicationName);
    // A drop on the edit field would type the dropped path into it; dropped
    // on the launcher anywhere, it becomes a shortcut instead.
    Combo1->lineEdit()->setAcceptDrops(false);
    setGeometryTwips(Combo1, 0, 0, 3015, 300);

    Command1 = new PictureButton(this);
    Command1->setObjectName(QStringLiteral("Command1"));
    const QPixmap picture = runButtonPicture();
    Command1->setIcon(QIcon(picture));
    Command1->setIconSize(picture.size());
    Command1->setAccessibleName(Texts::Run);
    Command1->setToolTip(Texts::Run);
    setGeometryTwips(Command1, 3045, 0, 600, 285);

    setTabOrder(Combo1, Command1);
}

void Form1::connectControls() {
    connect(Combo1, &QComboBox::activated, this, &Form1::pickEntry);
    // Qt takes a typed name that matches an item as chosen when the edit
    // field loses the focus, say on Tab to the run button; only a pick in
    // the list chooses an entry.
    disconnect(Combo1->lineEdit(), &QLineEdit::editingFinished, Combo1, nullptr);
    connect(Command1, &QPushButton::clicked, this, &Form1::runPicked);
    // Enter in the edit field would pick a typed name; only a pick in the
    // list chooses an entry.
    Combo1->lineEdit()->installEventFilter(this);
    Combo1->installEventFilter(this);
    Command1->installEventFilter(this);

    const LauncherMenus& m = menus_;
    connect(m.newList, &QAction::triggered, this, &Form1::startNewList);
    connect(m.sk13, &QAction::triggered, this, &Form1::openListFile);
    connect(m.sk7, &QAction::triggered, this, &Form1::showOptions);
    connect(m.sk2, &QAction::triggered, this, &Form1::showDeleteDialog);
    for (int i = 0; i < 4; ++i) {
        connect(m.corners[i], &QAction::triggered, this, [this, i] { chooseCorner(i + 1); });
        connect(m.quickFiles[i], &QAction::triggered, this, [this, i] { openQuickFile(i + 1); });
    }
    connect(m.hyouzi, &QAction::triggered, this, &Form1::goToTray);
    connect(m.sk4, &QAction::triggered, this, &Form1::quit);
    connect(m.Modosu, &QAction::triggered, this, &Form1::restoreFromTray);
    connect(m.Toziru, &QAction::triggered, this, &Form1::quitFromTray);
    platform_.setTrayMenu(m.tasukumenu);
    connect(&platform_, &Platform::trayIconClicked, this, &Form1::answerTrayClick);
}

void Form1::Form_Load() {
    Daiarog::InitFileDialog(openFileRecord_, Texts::ListFilter, QString());
    platform_.setTopmost(this);
    LoadSettings();
    currentListPath_ =
        fileNameOnDisk(settings_.startupListPath, settings_.rawStartupListPath, settings_.encoding);
    LoadShortcutList();
    showQuickFileItems();
    const int code = cornerCode(settings_);
    if (code >= 1 && code <= 4) {
        moveToCorner(code);
        tickCorner(code);
    }
}

void Form1::LoadSettings() {
    // A missing or unreadable settings file leaves every value empty: the
    // list falls back to "Cat.xxa" and the window stays where it is.
    settings_ = Settings();
    if (readSettingsFile(settingsFiles().readFrom, settings_) != ErrorNumber::None)
        settings_ = Settings();
}

bool Form1::SaveSettings() {
    // Take in what the options dialog or another launcher saved since
    // start-up, so a corner change does not undo it; the launcher's own
    // record keeps the values its menu was built from.
    const ErrorNumber failure =
        updateSettingsAt(settingsFiles(), settings_,
                         [this](Settings& current) { current.cornerText = settings_.cornerText; });
    if (failure == ErrorNumber::None)
        return true;
    platform_.showMessage(Texts::WriteError);
    return false;
}

SettingsLocation Form1::settingsFiles() {
    return settingsLocation(platform_.appPath(), platform_.userSettingsFolder());
}

void Form1::LoadShortcutList() {
    const std::optional<ShortcutEntry> picked = pickedEntry();
    Combo1->clear();
    Combo1->clearEditText();
    const ErrorNumber error = ReadShortcutList(currentListPath_, list_);
    if (error == ErrorNumber::None) {
        command1Tag_ = currentListPath_;
        for (int slot = 1; slot <= list_.count; ++slot)
            Combo1->addItem(list_.entries[slot].name);
        // Adding items selects the first one; the edit field stays empty
        // until the user picks a name.
        Combo1->setCurrentIndex(-1);
        Combo1->clearEditText();
        keepPickIfStillThere(picked);
        return;
    }
    pickedPosition_ = 0;
    if (error == ErrorNumber::PathFileAccess && currentListPath_.isEmpty()) {
        currentListPath_ = DefaultListPath;
        command1Tag_ = DefaultListPath;
    } else if (command1Tag_.isEmpty() && isDamagedList(error)) {
        // A damaged start-up list is still the user's list, and there is no
        // earlier one for the dialogs: they open it, so registering says the
        // list cannot take more instead of failing to write nowhere.
        command1Tag_ = currentListPath_;
    }
}

std::optional<ShortcutEntry> Form1::pickedEntry() const {
    if (pickedPosition_ < 1 || pickedPosition_ > Combo1->count())
        return std::nullopt;
    return list_.entries[pickedPosition_];
}

// The pick holds after a reload only where the same entry, name and target,
// still stands at its position; the box then shows it, so the user sees what
// "実行" runs. Anything else would run an entry nobody picked.
void Form1::keepPickIfStillThere(const std::optional<ShortcutEntry>& picked) {
    const ShortcutEntry* now = pickedPosition_ >= 1 && pickedPosition_ <= list_.count
                                   ? &list_.entries[pickedPosition_]
                                   : nullptr;
    if (picked && now && now->name == picked->name && now->path == picked->path &&
        now->rawPath == picked->rawPath) {
        Combo1->setCurrentIndex(pickedPosition_ - 1);
        return;
    }
    pickedPosition_ = 0;
}

void Form1::showQuickFileItems() {
    for (int i = 0; i < 4; ++i) {
        const QString& path = settings_.quickFiles[i];
        if (path.isEmpty())
            continue;
        menus_.sk14->menuAction()->setVisible(true);
        menus_.quickFiles[i]->setVisible(true);
        menus_.quickFiles[i]->setText(path);
    }
}

void Form1::moveToCorner(int code) {
    // The corner is that of the primary monitor's work area, beside its
    // panels, with the window's outer size; run again once the window manager
    // has added the frame.
    placement_->place([this, code] {
        const QRect screen = platform_.screenRectTwips();
        const QSize outer = platform_.outerSizeTwips(this);
        const bool right = code == 3 || code == 4;
        const bool bottom = code == 2 || code == 4;
        // The primary monitor need not start at the desktop's origin.
        platform_.moveWindowTwips(this, screen.x() + (right ? screen.width() - outer.width() : 0),
                                  screen.y() + (bottom ? screen.height() - outer.height() : 0));
    });
}

void Form1::tickCorner(int code) {
    for (int i = 0; i < 4; ++i)
        menus_.corners[i]->setChecked(i + 1 == code);
}

void Form1::pickEntry(int listIndex) {
    pickedPosition_ = listIndex + 1;
    platform_.prepareToOpen();
}

void Form1::showOptions() {
    if (!form3_) {
        form3_ = new Form3(platform_, command1Tag_);
        connectDialog(form3_);
    }
    form3_->show();
    form3_->raise();
    form3_->activateWindow();
}

void Form1::showDeleteDialog() {
    if (!form2_) {
        form2_ = new Form2(platform_, [this] { return command1Tag_; });
        connectDialog(form2_);
    }
    form2_->show();
    form2_->raise();
    form2_->activateWindow();
}

// A dialog's "OK" or "閉じる" closes the launcher, which refuses, goes to
// the tray and reloads its list; the dialog's own closing then shows it.
void Form1::connectDialog(LauncherDialog* dialog) {
    connect(dialog, &LauncherDialog::launcherCloseRequested, this, &QWidget::close);
    connect(dialog, &LauncherDialog::closing, this, &QWidget::show);
}

// The dropped item stays where it is: a shortcut only points at it. Taken
// as a move, the file manager would delete the original.
static void acceptAsLink(QDropEvent* event) {
    const bool canLink = event->possibleActions() & Qt::LinkAction;
    event->setDropAction(canLink ? Qt::LinkAction : Qt::CopyAction);
    event->accept();
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        acceptAsLink(event);
}

// The options dialog opens as its menu item opens it, with the first dropped
// item filled in; nothing is written until the user presses "登録".
void Form1::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty())
        return;
    acceptAsLink(event);
    const ShortcutEntry entry = shortcutForDroppedUrl(urls.constFirst());
    showOptions();
    form3_->fillRegistration(entry.name, entry.path);
}
