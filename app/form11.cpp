#include "app/form11.h"

#include "app/form1.h"
#include "app/windows.h"
#include "ui/controls.h"
#include "ui/twips.h"

#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>

using namespace Qt::StringLiterals;

namespace {
QLabel *makeLabel(QWidget *parent, const QString &name, const QString &caption, double pointSize)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setFont(Twips::font(u"MS Serif"_s, pointSize));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 192));
    label->setPalette(palette);
    return label;
}

QLabel *makePicture(QWidget *parent, const QString &name, int left, int top, int width, int height)
{
    auto *picture = new QLabel(parent);
    picture->setObjectName(name);
    Twips::place(picture, left, top, width, height);
    return picture;
}

void showResource(QLabel *picture, const QString &resource)
{
    QFile file(resource);
    Controls::showPicture(picture, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
}

const QString secondPicture = u":/data/splash2.jpg"_s;
} // namespace

Form11::Form11()
{
    setObjectName(u"Form11"_s);
    setWindowTitle(u"Form1"_s);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    Twips::resizeClient(this, 9810, 6630);
    setFixedSize(size());
    setAutoFillBackground(true);

    Picture2 = makePicture(this, u"Picture2"_s, 240, 240, 9330, 1920);
    showResource(Picture2, u":/data/splash.jpg"_s);
    // Hidden at load: its picture is decoded only if it is ever shown.
    Picture1 = makePicture(this, u"Picture1"_s, 240, 4200, 2655, 2175);

    Label1 = makeLabel(this, u"Label1"_s, u"SENTARO"_s, 24);
    Twips::place(Label1, 3240, 2280, 2655, 495);
    Label2 = makeLabel(this, u"Label2"_s, u"Schedario delle attività dei volontari di protezione civile"_s, 18);
    Twips::place(Label2, 360, 3120, 8415, 495);
    Label3 = makeLabel(this, u"Label3"_s, u"Continua"_s, 8.25);
    Label3->setFont(Twips::font(u"MS Sans Serif"_s, 8.25));
    Twips::place(Label3, 6720, 5640, 855, 255);
    Label4 = makeLabel(this, u"Label4"_s, QString(), 8.25);
    Twips::place(Label4, 3240, 3720, 3495, 255);
    Label4->hide();

    for (QWidget *child :
         {static_cast<QWidget *>(Picture1), static_cast<QWidget *>(Picture2), static_cast<QWidget *>(Label1),
          static_cast<QWidget *>(Label2), static_cast<QWidget *>(Label3), static_cast<QWidget *>(Label4)}) {
        child->installEventFilter(this);
    }
}

bool Form11::load()
{
    Label4->show();
    Picture1->hide();
    Form1 *main = Windows::form1();
    if (!main)
        return false;
    // Shown without asking for the focus: the splash takes it, and losing it would dismiss it.
    Controls::placeOnScreen(main);
    main->show();
    Controls::showWindow(this);
    return true;
}

void Form11::dismiss()
{
    hide();
    if (Form1 *main = Windows::existingForm1())
        Controls::showWindow(main);
}

bool Form11::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Picture1 && event->type() == QEvent::Show && Picture1->pixmap().isNull())
        showResource(Picture1, secondPicture);
    if (event->type() == QEvent::MouseButtonPress) {
        // The splash picture alone does not dismiss.
        if (watched != Picture2)
            dismiss();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Form11::mousePressEvent(QMouseEvent *)
{
    dismiss();
}

void Form11::keyPressEvent(QKeyEvent *)
{
    dismiss();
}

void Form11::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange) {
        if (isActiveWindow())
            m_wasActive = true;
        else if (m_wasActive && isVisible())
            dismiss();
    }
    QWidget::changeEvent(event);
}
