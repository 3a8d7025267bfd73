#include "organisations/formass.h"

#include "common/globals.h"
#include "database/datasource.h"
#include "store/organisations.h"
#include "ui/activation.h"
#include "ui/controls.h"
#include "ui/hourglass.h"
#include "ui/mainwindowinterface.h"
#include "ui/messages.h"
#include "ui/refusals.h"
#include "ui/twips.h"
#include "ui/windowaccess.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include <utility>

using namespace Qt::StringLiterals;

namespace {
QLabel *fieldLabel(QWidget *parent, const QString &name, const QString &caption, int top)
{
    QLabel *label = Controls::label(parent, name, caption, 960, top, 1815, 255);
    label->setFont(Twips::font(u"MS Sans Serif"_s, 9.75, true));
    return label;
}

} // namespace

Formass::Formass()
{
    setObjectName(u"Formass"_s);
    setWindowTitle(u"Organizzazioni - aggiornamento"_s);
    Twips::resizeClient(this, 9360, 8160);

    using namespace Controls;
    Label1 = label(this, u"Label1"_s, u"Inserimento nuova associazione"_s, 1680, 120, 5535, 495);
    Label1->setFont(Twips::font(u"Arial"_s, 15.75, true));
    Label2 = fieldLabel(this, u"Label2"_s, u"Denominazione"_s, 870);
    cmbassdenom = comboBox(this, u"cmbassdenom"_s, 3000, 840, 4935, 315);
    cmbassdenom->setToolTip(u"Digitare il nome dell'associazione o sceglierlo dall'elenco."_s);
    Label3 = fieldLabel(this, u"Label3"_s, u"Indirizzo"_s, 1380);
    assindir = textBox(this, u"assindir"_s, 3000, 1320, 4935, 375, u"Via o Piazza dell'associazione"_s);
    Label4 = fieldLabel(this, u"Label4"_s, u"CAP Comune"_s, 1980);
    asscap = textBox(this, u"asscap"_s, 3000, 1920, 615, 375);
    asscomune = textBox(this, u"asscomune"_s, 3840, 1920, 4095, 375, u"Comune di residenza dell'associazione"_s);
    Label5 = fieldLabel(this, u"Label5"_s, u"Provincia"_s, 2580);
    assprov =
        textBox(this, u"assprov"_s, 3000, 2520, 615, 375, u"Sigla della provincia di residenza dell'associazione"_s);
    Label6 = fieldLabel(this, u"Label6"_s, u"Telefono"_s, 3180);
    asstel = textBox(this, u"asstel"_s, 3000, 3120, 4935, 375, u"Numeri telefonici dell'associazione"_s);
    Label7 = fieldLabel(this, u"Label7"_s, u"Fax"_s, 3780);
    assfax = textBox(this, u"assfax"_s, 3000, 3720, 4935, 375, u"Numeri fax dell'associazione"_s);
    Label8 = fieldLabel(this, u"Label8"_s, u"e-mail"_s, 4380);
    assemail = textBox(this, u"assemail"_s, 3000, 4320, 4935, 375, u"Indirizzi e-mail dell'associazione"_s);
    Label12 = fieldLabel(this, u"Label12"_s, u"Responsabile"_s, 4980);
    assresp = textBox(this, u"assresp"_s, 3000, 4920, 4935, 375);
    Label13 = fieldLabel(this, u"Label13"_s, u"Tel. Respons."_s, 5580);
    asstelresp = textBox(this, u"asstelresp"_s, 3000, 5520, 4935, 375);
    Label11 = label(this, u"Label11"_s, u"COD."_s, 8280, 480, 855, 255);
    Label11->setFont(Twips::font(u"MS Sans Serif"_s, 9.75, true));
    fasscodass = textBox(this, u"fasscodass"_s, 8280, 840, 855, 285);
    cmdassregistra = button(this, u"cmdassregistra"_s, u"Registra"_s, 2760, 7320, 1575, 495);
    cmdassesci = button(this, u"cmdassesci"_s, u"Esci"_s, 5760, 7320, 1455, 495);
    cmdcercaass = button(this, u"cmdcercaass"_s, u"Cerca"_s, 120, 840, 615, 255);
    // The code and its search take no input: the code only arrives with a name from the list.
    for (QWidget *off :
         {static_cast<QWidget *>(Label11), static_cast<QWidget *>(fasscodass), static_cast<QWidget *>(cmdcercaass)})
        off->setEnabled(false);

    QWidget *order[] = {cmbassdenom, assindir, asscap,  asscomune,  assprov,        asstel,
                        assfax,      assemail, assresp, asstelresp, cmdassregistra, cmdassesci};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(cmbassdenom, &QComboBox::activated, this, &Formass::cmbassdenom_Click);
    connect(cmdassregistra, &QPushButton::clicked, this, &Formass::cmdassregistra_Click);
    connect(cmdassesci, &QPushButton::clicked, this, &Formass::cmdassesci_Click);
    Controls::onLostFocus(cmbassdenom, [this]() { cmbassdenom_LostFocus(); });
    Activation::watch(this, [this]() { Form_Activate(); });
}

void caricaorganizzazioni()
{
    QComboBox *names = Windows::formass()->cmbassdenom;
    const QString typed = names->currentText();
    DataSource *organisations = Windows::mainWindow()->Data8;
    const QStringList found = Organisations::names(*organisations);
    readRefused(organisations);
    Controls::fillCombo(names, found);
    // Refilling the list leaves what is typed in the box alone.
    names->setEditText(typed);
}

void Formass::clearBoxes()
{
    m_shown.reset();
    cmbassdenom->setEditText(QString());
    // The code too: kept, it would pass to the next organisation inserted.
    for (QLineEdit *box :
         {assindir, asscomune, asscap, assprov, asstel, assfax, assemail, assresp, asstelresp, fasscodass})
        box->clear();
}

void Formass::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        m_shownAnew = true;
    QWidget::showEvent(event);
}

void Formass::Form_Activate()
{
    // Emptied when opened for an operation, not each time the user comes back to it.
    const bool opened = std::exchange(m_shownAnew, false) || m_openedFor != globals().tipoopass;
    m_openedFor = globals().tipoopass;
    if (!opened)
        return;
    cmbassdenom->setFocus(Qt::OtherFocusReason);
    Hourglass::set();
    cmbassdenom->setEditText(QString());
    caricaorganizzazioni();
    clearBoxes();
    Hourglass::reset();
}

void Formass::cmbassdenom_Click()
{
    if (cmbassdenom->currentText().isEmpty())
        return;
    Hourglass::set();
    DataSource *organisations = Windows::mainWindow()->Data8;
    const auto found = Organisations::find(*organisations, cmbassdenom->currentText());
    if (readRefused(organisations))
        return;
    if (!found) {
        Hourglass::reset();
        Messages::report(u"Organizzazione non trovata."_s);
        return;
    }
    showOrganisation(*found);
    Hourglass::reset();
}

void Formass::showOrganisation(const Organisation &organisation)
{
    m_shown = organisation;
    cmbassdenom->setEditText(organisation.name);
    fasscodass->setText(organisation.code);
    const std::pair<QString, QLineEdit *> boxes[] = {
        {organisation.address, assindir}, {organisation.postCode, asscap}, {organisation.city, asscomune},
        {organisation.province, assprov}, {organisation.phone, asstel},    {organisation.fax, assfax},
        {organisation.mail, assemail},    {organisation.head, assresp},    {organisation.headPhone, asstelresp}};
    for (const auto &[text, box] : boxes)
        box->setText(text);
}

void Formass::cmbassdenom_LostFocus()
{
    QString name = cmbassdenom->currentText().toUpper();
    name.replace(u'"', u'\'');
    if (name != cmbassdenom->currentText())
        cmbassdenom->setEditText(name);
}

Organisation Formass::entered() const
{
    Organisation o;
    o.code = fasscodass->text();
    o.name = cmbassdenom->currentText().toUpper();
    o.address = assindir->text().toUpper();
    o.postCode = asscap->text();
    o.city = asscomune->text().toUpper();
    o.province = assprov->text().toUpper();
    o.phone = asstel->text().toUpper();
    o.fax = assfax->text().toUpper();
    o.mail = assemail->text();
    // What the window does not show is written afresh: a modification resets it.
    for (QString *unshown : {&o.taxCode, &o.specialisation, &o.date1, &o.dateU, &o.note3})
        *unshown = u""_s;
    o.volunteers = 0;
    o.head = assresp->text().toUpper();
    o.headPhone = asstelresp->text().toUpper();
    return o;
}

void Formass::cmdassregistra_Click()
{
    assprov->setText(assprov->text().toUpper());
    // The name box has lost the focus to this button, unless the click came another way.
    cmbassdenom_LostFocus();
    const QString name = cmbassdenom->currentText();
    if (name.isEmpty())
        return;
    if (name.size() > 40) {
        Messages::report(u"Denominazione troppo lunga. Potrebbe creare problemi nella stampa degli attestati. "
                         u"Abbreviarla entro i 40 caratteri."_s);
        return;
    }
    const QString operation = globals().tipoopass;
    if (operation == Operation::insert)
        insert();
    else if (operation == Operation::modify)
        modify();
    else if (operation == Operation::removeOrganisation)
        remove();
}

void Formass::insert()
{
    Hourglass::set();
    MainWindowInterface *main = Windows::mainWindow();
    const Store::Result result = Organisations::insert(*main->Data8, entered());
    if (!result.ok()) {
        Hourglass::reset();
        Messages::report(result.number == Store::duplicateKey ? u"Organizzazione già presente"_s : result.description);
        return;
    }
    clearBoxes();
    cmbassdenom->setFocus(Qt::OtherFocusReason);
    caricaorganizzazioni();
    main->showInGrid(Organisations::inOrder(), GridKind::organisations);
    Hourglass::reset();
    Messages::report(u"Organizzazione inserita regolarmente."_s);
}

std::optional<Organisation> Formass::findTyped(DataSource *organisations)
{
    Hourglass::set();
    const auto found = Organisations::find(*organisations, cmbassdenom->currentText().toUpper());
    if (readRefused(organisations))
        return std::nullopt;
    if (!found) {
        Hourglass::reset();
        Messages::report(u"Organizzazione non trovata."_s);
    }
    return found;
}

void Formass::modify()
{
    DataSource *organisations = Windows::mainWindow()->Data8;
    const auto found = findTyped(organisations);
    if (!found)
        return;
    // The code box holds a code only when the name came from the list: the row keeps its own.
    Organisation changed = entered();
    changed.code = found->code;
    // Written over what the window showed of it, when it showed it: not over another PC's change.
    const bool shown = m_shown && !QString::compare(m_shown->name, found->name, Qt::CaseInsensitive);
    const AsRead asRead = shown ? Records::asRead(*m_shown, Organisations::windowFields()) : AsRead{};
    const Store::Result result =
        Organisations::rewrite(*organisations, found->name, changed, shown ? &asRead : nullptr);
    Hourglass::reset();
    if (result.number == Store::changedElsewhere) {
        Messages::report(Messages::changedElsewhere());
        m_shown.reset();
        if (const auto now = Organisations::find(*organisations, found->name))
            showOrganisation(*now);
        else if (!readRefused(organisations))
            clearBoxes();
        return;
    }
    if (result.ok())
        m_shown = changed;
    Messages::report(result.ok() ? u"Organizzazione modificata."_s
                                 : Store::refusal(u"Organizzazione non modificata: "_s, result));
}

void Formass::remove()
{
    DataSource *organisations = Windows::mainWindow()->Data8;
    const auto found = findTyped(organisations);
    if (!found)
        return;
    // Its volunteers keep its code, and show it as deleted: the user knows how many first.
    const int volunteers = Organisations::volunteersOf(*organisations, found->code);
    if (readRefused(organisations))
        return;
    Hourglass::reset();
    const bool confirmed =
        volunteers > 0 ? Messages::askYesNo(u"L'organizzazione %1 ha %2 volontari: la elimino comunque?"_s.arg(
                                                found->name, QString::number(volunteers)),
                                            Messages::Default::No)
                       : Messages::askOkCancel(u"Confermi l'eliminazione dell'organizzazione premi OK o Annulla."_s,
                                               Messages::Default::No);
    if (!confirmed)
        return;
    Hourglass::set();
    // Stood on again: the count moved the source.
    if (!Organisations::find(*organisations, found->name)) {
        Hourglass::reset();
        if (!readRefused(organisations))
            Messages::report(u"Organizzazione non trovata."_s);
        return;
    }
    const Store::Result result = Organisations::remove(*organisations);
    if (!result.ok()) {
        Hourglass::reset();
        Messages::report(Store::refusal(u"Organizzazione non eliminata: "_s, result));
        return;
    }
    clearBoxes();
    caricaorganizzazioni();
    Messages::report(u"Organizzazione eliminata"_s);
    Hourglass::reset();
}

void Formass::cmdassesci_Click()
{
    hide();
}
