#include "participation/form3.h"

#include "common/globals.h"
#include "common/riskclasses.h"
#include "common/textformat.h"
#include "database/datasource.h"
#include "participation/participation.h"
#include "store/activities.h"
#include "store/details.h"
#include "ui/activation.h"
#include "ui/controls.h"
#include "ui/hourglass.h"
#include "ui/mainwindowinterface.h"
#include "ui/refusals.h"
#include "ui/twips.h"
#include "ui/windowaccess.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>

using namespace Qt::StringLiterals;

Form3::Form3()
{
    setObjectName(u"Form3"_s);
    setWindowTitle(u"Dettagli Attività"_s);
    Twips::resizeClient(this, 15240, 10950);

    using namespace Controls;
    Label1 = label(this, u"Label1"_s, u"Data Inizio"_s, 720, 480, 975, 255);
    f3datain = comboBox(this, u"f3datain"_s, 600, 720, 1335, 315);
    Label2 = label(this, u"Label2"_s, u"Data Fine"_s, 2040, 480, 975, 255);
    f3datafi = textBox(this, u"f3datafi"_s, 2040, 720, 975, 285, u"Data fine attività nel formato gg/mm/aaaa"_s);
    Label3 = label(this, u"Label3"_s, u"Descrizione Attività"_s, 3240, 480, 5775, 255);
    f3descr = comboBox(this, u"f3descr"_s, 3240, 720, 5895, 315);
    cmdcerca = button(this, u"cmdcerca"_s, u"Cerca"_s, 9240, 720, 615, 375);
    Label4 = label(this, u"Label4"_s, u"Località"_s, 9360, 480, 5775, 255);
    f3loc = textBox(this, u"f3loc"_s, 9960, 720, 5175, 285, u"Località principale dove si è svolta l'attività."_s);
    Label5 = label(this, u"Label5"_s, u"Prov."_s, 15360, 480, 615, 255);
    f3prov =
        textBox(this, u"f3prov"_s, 15360, 720, 615, 285, u"Sigla provincia principale dove si è svolta l'attività"_s);
    Label6 = label(this, u"Label6"_s, u"Ore totali"_s, 720, 1200, 975, 255);
    f3oretot = textBox(this, u"f3oretot"_s, 720, 1440, 975, 285, u"Numero ore durata attività."_s);
    Label7 = label(this, u"Label7"_s, u"Ore uomo"_s, 2040, 1200, 975, 255);
    f3oreuomo = textBox(this, u"f3oreuomo"_s, 2040, 1440, 975, 285, u"Numero ore/uomo lavorate"_s);
    Label8 = label(this, u"Label8"_s, u"Note 1"_s, 3240, 1200, 5775, 255);
    f3note1 = memoBox(this, u"f3note1"_s, 100, 3240, 1440, 5895, 1245);
    Label9 = label(this, u"Label9"_s, u"Note2"_s, 9360, 1200, 5775, 255);
    f3note2 = memoBox(this, u"f3note2"_s, 100, 9360, 1440, 5655, 1245);
    for (QLabel *centred : {Label1, Label2, Label3, Label4, Label5, Label6, Label7, Label8, Label9})
        centred->setAlignment(Qt::AlignCenter);
    Labelpresenti = label(this, u"Labelpresenti"_s, u"Volontari presenti"_s, 600, 3120, 10215, 255);
    List1 = multiList(this, u"List1"_s, 600, 3360, 9495, 6540);
    placeColumnLabels();
    Labelstandard = label(this, u"Labelstandard"_s, u"Ore lavorate"_s, 10440, 3360, 975, 255);
    orestandard = textBox(this, u"orestandard"_s, 10440, 3600, 855, 285);
    // One button per risk class, in the table's order, its tooltip saying what the class covers.
    const QString riskTips[] = {
        QString(),
        u"Movimentazione manuale dei carichi."_s,
        u"Attrezzature munite di videoterminali."_s,
        u"Agenti fisici (Disposizioni generali, protezione dei volontari contro i rischi di esposizione "
        u"al rumore durante il lavoro, vibrazioni,  a campi elettromagnetici, alle radiazioni ottiche) "_s,
        u"Sostanze pericolose (protezione da agenti chimici, da agenti cancerogeni e mutageni, dai "
        u"rischi connessi all\u2019esposizione all\u2019amianto) "_s,
        u"Esposizione ad agenti biologici."_s,
    };
    static_assert(std::size(riskTips) == riskClasses.size());
    QPushButton *Form3::*const riskButtons[] = {&Form3::cmdr0, &Form3::cmdr6, &Form3::cmdr7,
                                                &Form3::cmdr8, &Form3::cmdr9, &Form3::cmdr10};
    for (size_t i = 0; i < riskClasses.size(); ++i) {
        const RiskClass &riskClass = riskClasses[i];
        const QString code = riskClass.code.toString();
        QPushButton *riskButton = button(this, riskClass.button.toString(), u"< Rischio "_s + code, 10320,
                                         4080 + 480 * int(i), 1095, 375, riskTips[i]);
        this->*riskButtons[i] = riskButton;
        connect(riskButton, &QPushButton::clicked, this, [code]() {
            globals().classerischio = code;
            aggiungivolontari();
        });
    }
    cmdtogli = button(this, u"cmdtogli"_s, u"Togli >"_s, 10320, 7440, 1095, 375);
    Labelarc = label(this, u"Labelarc"_s, u"Archivio volontari"_s, 12720, 2880, 1695, 255);
    cmbvolo = comboBox(this, u"cmbvolo"_s, 11640, 3120, 3255, 315);
    List2 = multiList(this, u"List2"_s, 11640, 3480, 3255, 6540);
    cmdesci = button(this, u"cmdesci"_s, u"Esci"_s, 11160, 10320, 1335, 495);

    QWidget *order[] = {f3datain, f3datafi,    f3descr,  f3prov,  f3loc,    f3oretot, f3oreuomo, f3note1,
                        f3note2,  orestandard, List1,    cmdr0,   List2,    cmdr6,    cmdr7,     cmdr8,
                        cmdr9,    cmdr10,      cmdtogli, cmdesci, cmdcerca, cmbvolo};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(f3datain, &QComboBox::activated, this, &Form3::f3datain_Click);
    connect(f3descr, &QComboBox::activated, this, &Form3::f3descr_Click);
    connect(cmbvolo, &QComboBox::activated, this, &Form3::cmbvolo_Click);
    connect(cmdcerca, &QPushButton::clicked, this, &Form3::cmdcerca_Click);
    connect(cmdesci, &QPushButton::clicked, this, &Form3::cmdesci_Click);
    connect(cmdtogli, &QPushButton::clicked, this, &toglivolontari);
    Activation::watch(this, [this]() { activated(); });
}

// Blanks in a caption would place the names by the label's font, not the list's.
void Form3::placeColumnLabels()
{
    List1->ensurePolished();
    const QFontMetrics metrics(List1->font());
    // Where an item view draws the text of a line: inside the frame, after the focus margin.
    const int textLeft = List1->x() + List1->frameWidth() +
                         List1->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, List1) + 1;
    const QString line = detailLine(QString(), QString(), {});
    for (const auto &[caption, start] : presentColumns()) {
        // LabelR0 ... LabelR10, LabelTOT.
        auto *column = new QLabel(caption, this);
        column->setObjectName(u"Label"_s + QString(caption).remove(u'.'));
        column->setGeometry(textLeft + metrics.horizontalAdvance(line.left(start)), Labelpresenti->y(),
                            metrics.horizontalAdvance(line.mid(start, 8)), Labelpresenti->height());
    }
}

QStringList Form3::fillArchive()
{
    DataSource *volunteers = Windows::mainWindow()->Data6;
    const QStringList texts = Details::archive(*volunteers);
    readRefused(volunteers);
    Controls::fillSorted(List2, QStringList{QString()} + texts);
    Labelarc->setText(u"Archivio volontari: "_s + QString::number(texts.size()));
    return texts;
}

void Form3::activated()
{
    Globals &g = globals();
    // Opened from the grid, the window keeps the activity just loaded; the archive is read
    // all the same, or nobody could be added to it.
    if (g.dagriglia == 1)
        g.dagriglia = 0;
    else if (!f3descr->currentText().isEmpty())
        presentVolunteersAgain();
    else
        List1->clear();
    QStringList texts = fillArchive();
    Controls::sortLikeList(texts);
    Controls::fillCombo(cmbvolo, texts);
    forgetChoices();
    Hourglass::reset();
}

// A press records the volunteers selected and the hours typed: none of them may carry over
// to another activity, or to the window opened again.
void Form3::forgetChoices()
{
    List2->clearSelection();
    orestandard->clear();
}

void Form3::showActivityFields(const Activity &activity)
{
    f3datafi->setText(activity.end);
    f3descr->setEditText(activity.description);
    f3loc->setText(activity.place);
    f3prov->setText(activity.province);
    f3oretot->setText(TextFormat::numberText(activity.totalHours));
    f3oreuomo->setText(TextFormat::numberText(activity.manHours));
    f3note1->setText(activity.note1);
    f3note2->setText(activity.note2);
}

void Form3::f3datain_Click()
{
    Globals &g = globals();
    g.dataattivita = f3datain->currentText();
    f3descr->clear();
    List1->clear();
    forgetChoices();
    DataSource *activities = Windows::mainWindow()->Data3;
    for (const Activity &activity : Activities::ofDate(*activities, g.dataattivita)) {
        f3descr->addItem(activity.description, g.dataattivita);
        showActivityFields(activity);
    }
    if (readRefused(activities))
        return;
    caricadettagli();
}

void Form3::f3descr_Click()
{
    Globals &g = globals();
    // An entry found by "Cerca" may start on another day than the one shown: it brings its own.
    if (const QVariant start = f3descr->currentData(); start.isValid())
        g.dataattivita = start.toString();
    g.descrattivita = f3descr->currentText();
    forgetChoices();
    caricadettagli();
}

void Form3::cmdcerca_Click()
{
    // What the user typed is looked for as it stands: %, _ and * are characters, not wildcards.
    DataSource *activities = Windows::mainWindow()->Data3;
    QStringList found;
    QStringList starts;
    for (const Activity &activity : Activities::search(*activities, f3descr->currentText().toUpper())) {
        found << activity.description;
        starts << activity.start;
    }
    readRefused(activities);
    Controls::fillDescriptions(f3descr, found, starts);
}

void Form3::cmbvolo_Click()
{
    const QString wanted = cmbvolo->currentText();
    for (int i = 1; i < List2->count(); ++i) {
        if (List2->item(i)->text() == wanted) {
            List2->item(i)->setSelected(true);
            List2->scrollToItem(List2->item(i));
            return;
        }
    }
}

void Form3::cmdesci_Click()
{
    hide();
}
