#include "app/Dialogs.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace vistrel::app {

const QString Trunning::kText = QStringLiteral(
    "Another copy of Vistrel is already running. \r\nRight Click on the Vistrel icon in your system tray to configure it.");

const QString Tfirst_run::kText = QStringLiteral(
    "This is the first time Vistrel has been run on this computer.\r\nWhen you click OK below, Vistrel will configure itself and \r\n"
    "then connect to the internet to retrieve copies of your favorite web sites.\r\nYou may change the configuration of Vistrel at any time \r\n"
    "by clicking on the icon in the system tray.\r\n\r\nFor more information visit the Vistrel web site by");

namespace {

// A small picture of a tray with the program's icon, so the user knows where to look.
QWidget *exampleTray(QWidget *parent)
{
    QPixmap picture(180, 28);
    picture.fill(QColor(0xD4, 0xD0, 0xC8));
    QPainter p(&picture);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(60, 3, 116, 21);
    p.setBrush(QColor(0x30, 0x60, 0xC0));
    p.drawEllipse(68, 7, 14, 14);
    p.setBrush(QColor(0x60, 0xA0, 0x60));
    p.drawRect(90, 7, 14, 14);
    p.setPen(Qt::black);
    p.drawText(QRect(112, 3, 62, 21), Qt::AlignCenter, QStringLiteral("12:00"));
    p.end();
    auto *box = new QWidget(parent);
    auto *layout = new QVBoxLayout(box);
    auto *image = new QLabel(box);
    image->setPixmap(picture);
    auto *caption = new QLabel(QStringLiteral("Example system tray"), box);
    caption->setStyleSheet(QStringLiteral("color: red"));
    layout->addWidget(image);
    layout->addWidget(caption);
    return box;
}

QString plain(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

Trunning::Trunning(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Trunning"));
    setWindowTitle(QStringLiteral("Already Running"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(plain(kText), this));
    layout->addWidget(exampleTray(this));
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

Tfirst_run::Tfirst_run(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tfirst_run"));
    setWindowTitle(QStringLiteral("First Run"));
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(plain(kText), this));
    auto *link = new QLabel(QStringLiteral("<a href=\"instructions\">Clicking Here</a>"), this);
    link->setObjectName(QStringLiteral("InstructionsLink"));
    connect(link, &QLabel::linkActivated, this, [this] {
        m_instructionsWanted = true;
        accept();
    });
    layout->addWidget(link);
    layout->addWidget(exampleTray(this));
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

} // namespace vistrel::app
