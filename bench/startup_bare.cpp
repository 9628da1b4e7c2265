// The floor of the start-up benchmark: a bare Qt dialog like the authorization window (a caption, a label, a text box,
// two buttons), started the same way as the program, with nothing else.
#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("bare"));
    dialog.setWindowTitle(QStringLiteral("Авторизация"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("Код доступа"), &dialog));
    auto* code = new QLineEdit(&dialog);
    code->setEchoMode(QLineEdit::Password);
    layout->addWidget(code);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(new QPushButton(QStringLiteral("Вход"), &dialog));
    buttons->addWidget(new QPushButton(QStringLiteral("Выход"), &dialog));
    layout->addLayout(buttons);
    dialog.show();
    return app.exec();
}
