// The yardstick for the launcher's start-up and memory: a bare window with an
// editable combo box and a push button, built from the same Qt, reading no
// files, with no fonts or icons of its own.
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Baseline"));
    window.setFixedSize(242, 18);
    auto* combo = new QComboBox(&window);
    combo->setEditable(true);
    combo->setGeometry(0, 0, 201, 20);
    auto* button = new QPushButton(QStringLiteral("Run"), &window);
    button->setGeometry(203, 0, 40, 19);
    window.show();
    return app.exec();
}
