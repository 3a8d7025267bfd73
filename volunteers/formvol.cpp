#include "volunteers/formvol.h"

#include "common/clock.h"
#include "common/controlladata.h"
#include "common/globals.h"
#include "common/volunteertext.h"
#include "common/textformat.h"
#include "database/datasource.h"
#include "store/database.h"
#include "store/municipalities.h"
#include "store/organisations.h"
#include "store/schema.h"
#include "store/surveillance.h"
#include "store/volunteers.h"
#include "ui/activation.h"
#include "ui/controls.h"
#include "ui/hourglass.h"
#include "ui/mainwindowinterface.h"
#include "ui/messages.h"
#include "ui/refusals.h"
#include "ui/twips.h"
#include "ui/windowaccess.h"
#include "volunteers/specialisations.h"
#include "volunteers/taxcode.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStringListModel>

#include <utility>

using TextFormat::withoutTrailingBlanks;

using namespace Qt::StringLiterals;

Formvol::Formvol()
{
    setObjectName(u"Formvol"_s);
    setWindowTitle(u"Formvol"_s);
    Twips::resizeClient(this, 8640, 6720);

    using namespace Controls;
    Label1 = label(this, u"Label1"_s, u"Associazione"_s, 240, 270, 2040);
    cmbassdenom = comboBox(this, u"cmbassdenom"_s, 2400, 240, 5895);
    cmbassdenom->setToolTip(u"Scegliere l'associazione di appartenenza del volontario."_s);
    Label2 = label(this, u"Label2"_s, u"Cognome nome"_s, 240, 735, 2040);
    fvcogn = textBox(this, u"fvcogn"_s, 2400, 720, 2895, 285, u"Cognome del volontario."_s);
    fvnome = textBox(this, u"fvnome"_s, 5400, 720, 2895, 285, u"Nome del volontario."_s);
    Label3 = label(this, u"Label3"_s, u"Indirizzo"_s, 240, 1155, 2040);
    fvindir = textBox(this, u"fvindir"_s, 2400, 1140, 5895, 285, u"Via e numero civico del volontario."_s);
    Label4 = label(this, u"Label4"_s, u"C.A.P. -  Città  -  Prov."_s, 240, 1575, 2040);
    fvcap = textBox(this, u"fvcap"_s, 2400, 1560, 855, 285, u"CAP del volontario."_s);
    fvcitta = textBox(this, u"fvcitta"_s, 3360, 1560, 3975, 285, u"Città del volontario."_s);
    fvprov = textBox(this, u"fvprov"_s, 7440, 1560, 855, 285, u"Sigla della provincia del volontario."_s);
    cmdcfisc = button(this, u"cmdcfisc"_s, u"Codice Fiscale"_s, 240, 1950, 2040, 345);
    fvcfisc = textBox(this, u"fvcfisc"_s, 2400, 1980, 2895, 285, u"Codice fiscale del volontario."_s);
    Label5 = label(this, u"Label5"_s, u"Data di nascita"_s, 5400, 1995, 1335);
    fvdatana = textBox(this, u"fvdatana"_s, 6840, 1980, 1455, 285, u"Data nel formato GG/MM/AAAA."_s);
    // The visits are read-only here: they are entered in the surveillance window.
    lblvisita = label(this, u"lblvisita"_s, QString(), 240, 2370, 8055, 510);
    lblvisita->setWordWrap(true);
    Label6 = label(this, u"Label6"_s, u"Luogo di nascita"_s, 240, 3030, 2040);
    fvluogona = comboBox(this, u"fvluogona"_s, 2400, 3000, 5895);
    fvluogona->setFont(Twips::font(u"Courier New"_s, 8.25));
    // About 8,000 entries of equal width: the box is sized by its layout, not by measuring each one.
    fvluogona->setMinimumContentsLength(39);
    // Typing offers the matching places in a pop-up; a place is taken only when the user picks it.
    Controls::offerPopupCompletion(fvluogona);
    // In the entries' fixed-pitch font the provinces line up.
    fvluogona->completer()->popup()->setFont(fvluogona->font());
    Label7 = label(this, u"Label7"_s, u"Provincia di nascita"_s, 240, 3495, 2040);
    fvprovna =
        textBox(this, u"fvprovna"_s, 2400, 3480, 855, 285, u"Sigla della provincia di nascita del volontario."_s);
    Label8 = label(this, u"Label8"_s, u"Sesso"_s, 3600, 3495, 735);
    fvsesso = textBox(this, u"fvsesso"_s, 4440, 3480, 495, 285);
    Label9 = label(this, u"Label9"_s, u"Specializzazione prevalente"_s, 240, 3930, 2100);
    cmbspec = comboBox(this, u"cmbspec"_s, 2400, 3900, 5895);
    Label10 = label(this, u"Label10"_s, u"Note"_s, 240, 4395, 2040);
    fvnote = textBox(this, u"fvnote"_s, 2400, 4380, 5895, 285, u"Specializzazione del volontario."_s);
    Label11 = label(this, u"Label11"_s, u"Note 2"_s, 240, 4815, 2040);
    fvnote2 = textBox(this, u"fvnote2"_s, 2400, 4800, 5895, 285, u"Libero per note."_s);
    Label12 = label(this, u"Label12"_s, u"Note 3"_s, 240, 5235, 2040);
    fvnote3 = textBox(this, u"fvnote3"_s, 2400, 5220, 5895, 285, u"Libero per note."_s);
    cmdregistra = button(this, u"cmdregistra"_s, u"Registra"_s, 5040, 5880, 1455, 495);
    cmdesci = button(this, u"cmdesci"_s, u"Esci"_s, 6840, 5880, 1455, 495);

    QWidget *order[] = {cmbassdenom, fvcogn,   fvnome,      fvindir,  fvcap,   fvcitta, fvprov,
                        fvcfisc,     fvdatana, fvluogona,   fvprovna, fvsesso, cmbspec, fvnote,
                        fvnote2,     fvnote3,  cmdregistra, cmdesci,  cmdcfisc};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(cmdregistra, &QPushButton::clicked, this, &Formvol::cmdregistra_Click);
    connect(cmdcfisc, &QPushButton::clicked, this, &Formvol::cmdcfisc_Click);
    connect(cmdesci, &QPushButton::clicked, this, &Formvol::cmdesci_Click);
    connect(cmbassdenom, &QComboBox::activated, this, &Formvol::cmbassdenom_Click);
    connect(fvluogona, &QComboBox::activated, this, &Formvol::fvluogona_Click);
    Controls::onLostFocus(fvsesso, [this]() { fvsesso_LostFocus(); });
    Controls::onLostFocus(fvluogona, [this]() { takeProvinceOfPlace(); });
    Activation::watch(this, [this]() { Form_Activate(); });
}

void caricaassformvol()
{
    Formvol *window = Windows::formvol();
    DataSource *organisations = Windows::mainWindow()->Data8;
    const QStringList names = Organisations::names(*organisations);
    readRefused(organisations);
    Controls::fillCombo(window->cmbassdenom, names);
}

void caricaspecializzazioni()
{
    Formvol *window = Windows::formvol();
    // A missing or unreadable file leaves the list empty; the window opens all the same.
    QFile file(Schema::specialisationsFile);
    Controls::fillCombo(window->cmbspec,
                        file.open(QIODevice::ReadOnly) ? readDelimitedItems(file.readAll()) : QStringList());
}

void Formvol::showVolunteer(const Volunteer &v)
{
    m_shown = true;
    m_asShown = v;
    m_shownCode = v.organisationCode;
    m_shownSurname = v.surname;
    m_shownName = v.name;
    // Every box, those without value too: a box kept from the volunteer shown before would
    // pass to this one at the next registration.
    fvcogn->setText(v.surname);
    fvnome->setText(v.name);
    fvindir->setText(v.address);
    fvcap->setText(v.postCode);
    fvcitta->setText(v.city);
    fvprov->setText(v.province);
    cmbspec->setEditText(v.specialisation);
    fvdatana->setText(v.birthDate);
    fvluogona->setEditText(v.birthPlace);
    fvprovna->setText(v.birthProvince);
    fvsesso->setText(v.sex);
    fvcfisc->setText(v.taxCode);
    fvnote->setText(v.note);
    fvnote2->setText(v.note2);
    fvnote3->setText(v.note3);
    showVisits(v.surname, v.name);
}

void Formvol::showVisits(const QString &surname, const QString &name)
{
    Store::Result refusal;
    bool hidden = false;
    const Surveillance::Standing standing =
        Surveillance::standingOf(*Windows::mainWindow()->Data5, surname, name, Clock::today(), &refusal, &hidden);
    lblvisita->clear();
    // A role that may not read the visits is told nothing of them, not that there are none.
    if (readRefused(!refusal.ok(), refusal.description) || hidden)
        return;
    if (!standing.last) {
        lblvisita->setText(u"Nessuna visita registrata"_s);
        return;
    }
    QString text = u"Ultima visita: %1 %2"_s.arg(standing.last->date, standing.last->type);
    if (!standing.last->outcome.isEmpty())
        text += u", "_s + standing.last->outcome;
    if (standing.latestDue.isValid())
        text += u" — prossima scadenza: "_s + standing.latestDue.toString(u"dd/MM/yyyy"_s);
    lblvisita->setText(text);
}

void Formvol::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        m_shownAnew = true;
    QWidget::showEvent(event);
}

void Formvol::Form_Activate()
{
    const QString operation = globals().tipoopvol;
    // A volunteer opened to be seen is not changed from here.
    cmdregistra->setVisible(operation != Operation::view);
    // The window loads its record when it is opened for one; coming back to it from another window
    // keeps what the user typed. A new volunteer takes nothing from the one another operation
    // showed, nor from what the window held when it was closed.
    const std::pair<QString, QString> openedFor{operation, operation == Operation::insert ? QString()
                                                                                          : globals().volontarioscelto};
    const bool opened = std::exchange(m_shownAnew, false) || openedFor != m_openedFor;
    if (!opened)
        return;
    m_shown = false;
    lblvisita->clear();
    caricaspecializzazioni();
    MainWindowInterface *main = Windows::mainWindow();
    DataSource *organisations = main->Data8;
    if (operation != Operation::modify && operation != Operation::remove && operation != Operation::view) {
        clearWindow();
        m_openedFor = openedFor;
        // No organisation is taken for granted for a new volunteer, unless the archive has only one.
        const QStringList names = Organisations::names(*organisations);
        if (!readRefused(organisations))
            cmbassdenom->setEditText(names.size() == 1 ? names.first() : QString());
        return;
    }
    DataSource *volunteers = main->Data6;
    const auto shown = Volunteers::findByText(*volunteers, globals().volontarioscelto);
    if (!shown) {
        if (!readRefused(volunteers))
            Messages::report(u"Volontario non trovato."_s);
        return;
    }
    showVolunteer(*shown);
    m_openedFor = openedFor;
    const auto organisation = Organisations::nameOfCode(*organisations, shown->organisationCode);
    if (readRefused(organisations))
        return;
    cmbassdenom->setEditText(organisation                        ? *organisation
                             : shown->organisationCode.isEmpty() ? QString()
                                                                 : Organisations::deletedName());
}

void Formvol::cmbassdenom_Click()
{
    DataSource *organisations = Windows::mainWindow()->Data8;
    const auto found = Organisations::find(*organisations, cmbassdenom->currentText().toUpper());
    if (!readRefused(organisations) && !found)
        Messages::report(u"Organizzazione non trovata."_s);
}

void Formvol::fvluogona_Click()
{
    fvprovna->setText(fvluogona->currentText().mid(37, 2).toUpper());
}

std::optional<QString> Formvol::placeEntry() const
{
    const QString typed = fvluogona->currentText();
    const QString name = typed.trimmed();
    const auto *model = qobject_cast<const QStringListModel *>(fvluogona->model());
    const QStringList entries = model ? model->stringList() : QStringList();
    QString named;
    int namedCount = 0;
    for (const QString &entry : entries) {
        if (entry == typed)
            return entry;
        if (QString::compare(QStringView(entry).left(35).trimmed(), name, Qt::CaseInsensitive) == 0) {
            named = entry;
            ++namedCount;
        }
    }
    return namedCount == 1 ? std::optional<QString>(named) : std::nullopt;
}

void Formvol::takeProvinceOfPlace()
{
    if (const auto entry = placeEntry())
        fvprovna->setText(entry->mid(37, 2).toUpper());
}

void Formvol::fvsesso_LostFocus()
{
    fvsesso->setText(fvsesso->text().toUpper());
}

void Formvol::cmdesci_Click()
{
    hide();
}

void Formvol::cmdcfisc_Click()
{
    calcolacodicefiscale();
}

Volunteer Formvol::entered(const QString &organisationCode) const
{
    Volunteer v;
    v.organisationCode = organisationCode;
    v.surname = fvcogn->text().toUpper();
    v.name = fvnome->text().toUpper();
    v.address = fvindir->text().toUpper();
    v.postCode = fvcap->text().toUpper();
    v.city = fvcitta->text().toUpper();
    v.province = fvprov->text().toUpper();
    v.specialisation = cmbspec->currentText().toUpper();
    v.birthDate = fvdatana->text();
    v.birthPlace = withoutTrailingBlanks(fvluogona->currentText().toUpper().left(37));
    v.birthProvince = fvprovna->text().toUpper();
    v.taxCode = fvcfisc->text().toUpper();
    v.sex = fvsesso->text().toUpper();
    v.note = fvnote->text().toUpper();
    v.note2 = fvnote2->text().toUpper();
    v.note3 = fvnote3->text().toUpper();
    return v;
}

std::optional<QString> Formvol::chosenOrganisation()
{
    const QString chosen = cmbassdenom->currentText();
    // A volunteer of an organisation deleted since keeps the code he has.
    if (m_shown && chosen == Organisations::deletedName())
        return m_shownCode;
    DataSource *organisations = Windows::mainWindow()->Data8;
    const auto found = Organisations::find(*organisations, chosen.toUpper());
    if (readRefused(organisations))
        return std::nullopt;
    if (!found) {
        Hourglass::reset();
        Messages::report(u"Organizzazione non trovata."_s);
        return std::nullopt;
    }
    QString code;
    if (const Store::Result coded = Organisations::codeOf(*organisations, found->name, &code); !coded.ok()) {
        Hourglass::reset();
        Messages::report(Store::refusal(u"Volontario non registrato: "_s, coded));
        return std::nullopt;
    }
    return code;
}

void Formvol::clearWindow()
{
    for (QLineEdit *box : {fvcogn, fvnome, fvindir, fvcap, fvcitta, fvprov, fvdatana})
        box->clear();
    fvluogona->setEditText(QString());
    for (QLineEdit *box : {fvprovna, fvsesso, fvcfisc, fvnote, fvnote2, fvnote3})
        box->clear();
    // The specialisation is stored: kept, it would pass silently to the next volunteer.
    cmbspec->setEditText(QString());
    lblvisita->clear();
    m_shown = false;
}

void Formvol::cmdregistra_Click()
{
    Globals &g = globals();
    const QString operation = g.tipoopvol;
    // Hidden for a volunteer opened to be seen.
    if (operation == Operation::view)
        return;
    // A deletion needs none: a volunteer of no organisation can go too.
    if (operation != Operation::remove && cmbassdenom->currentText().isEmpty()) {
        Messages::report(u"Scegli l'organizzazione."_s);
        return;
    }
    if (dateRefused(fvdatana->text(), u"Data di nascita errata."_s))
        return;
    Hourglass::set();
    // Every way out of here puts the pointer back before its message.
    const auto finish = [](const QString &message) {
        Hourglass::reset();
        Messages::report(message);
    };
    // Every volunteer is known by its surname: a blank one is never stored.
    if (operation != Operation::remove && fvcogn->text().trimmed().isEmpty()) {
        finish(u"Manca Cognome."_s);
        return;
    }
    if (fvcogn->text().size() > 25) {
        finish(u"Cognome volontario troppo lungo. Massimo 25 caratteri."_s);
        return;
    }
    if (fvnome->text().size() > 25) {
        finish(u"Nome volontario troppo lungo. Massimo 25 caratteri."_s);
        return;
    }
    if (fvprov->text() == u"roma"_s || fvprov->text() == u"ROMA"_s)
        fvprov->setText(u"RM"_s);
    fvsesso->setText(fvsesso->text().toUpper());
    if (!fvsesso->text().isEmpty() && fvsesso->text() != u"F"_s && fvsesso->text() != u"M"_s) {
        finish(u"Sesso errato."_s);
        return;
    }
    takeProvinceOfPlace();
    DataSource *volunteers = Windows::mainWindow()->Data6;
    const QString surname = fvcogn->text().toUpper();
    const QString name = fvnome->text().toUpper();
    const auto found = Volunteers::find(*volunteers, surname, name);
    if (readRefused(volunteers))
        return;
    const auto stored = [&](const Store::Result &result, const QString &done) {
        if (result.ok()) {
            finish(done);
            clearWindow();
            // A volunteer changed is loaded again when the window is next opened for him; a new one's
            // organisation stays for the next.
            if (operation != Operation::insert)
                m_openedFor = {};
        } else {
            finish(result.number == Store::duplicateKey ? u"Volontario già presente"_s : result.description);
        }
    };
    // Questions are put with the normal pointer; the work goes on under the hourglass.
    const auto confirmed = [](const QString &question) {
        Hourglass::reset();
        const bool yes = Messages::askYesNo(question, Messages::Default::No);
        if (yes)
            Hourglass::set();
        return yes;
    };
    // The key ignores letter case, so no two volunteers differ only in it.
    const bool namesShown =
        m_shown && VolunteerText::same(surname, m_shownSurname) && VolunteerText::same(name, m_shownName);
    if (operation == Operation::remove) {
        // Only the volunteer shown, while the boxes still name him.
        if (!found || !namesShown) {
            finish(u"Volontario non trovato."_s);
            return;
        }
        removeShown(*found);
        return;
    }
    if (const auto problem = TaxCode::problemWithCode(fvcfisc->text().toUpper())) {
        finish(*problem);
        return;
    }
    const auto organisationCode = chosenOrganisation();
    if (!organisationCode)
        return;
    // A modification changes the volunteer shown, or without one the volunteer the boxes name.
    const bool modify = operation == Operation::modify;
    const bool renaming = modify && m_shown && !namesShown;
    const QString oldSurname = renaming ? m_shownSurname : surname;
    const QString oldName = renaming ? m_shownName : name;
    if (modify && !m_shown && !found) {
        finish(u"Volontario non trovato."_s);
        return;
    }
    // The names of another volunteer: an insertion would repeat him, a renaming overwrite him.
    if (found && (!modify || renaming)) {
        finish(u"Volontario già presente."_s);
        return;
    }
    if (renaming && !confirmed(u"Rinomino %1 in %2?"_s.arg(VolunteerText::of(oldSurname, oldName),
                                                           VolunteerText::of(surname, name))))
        return;
    const auto holder = Volunteers::taxCodeHolder(*volunteers, fvcfisc->text().toUpper(), oldSurname, oldName);
    if (readRefused(volunteers))
        return;
    if (holder && !confirmed(u"Codice fiscale già presente per %1: registro comunque?"_s.arg(*holder)))
        return;
    // What the window does not show keeps what the row holds: an imported telephone, a code.
    const Volunteer volunteer = entered(*organisationCode);
    if (modify) {
        // Written over what the window showed of him, not over another PC's change.
        QStringList shownFields;
        for (const auto &field : Records::volunteerFields()) {
            if (!Volunteers::notInWindow().contains(field.name))
                shownFields << field.name;
        }
        const AsRead asRead = m_shown && m_asShown ? Records::asRead(*m_asShown, shownFields) : AsRead{};
        const Store::Result result = Volunteers::rename(*volunteers, oldSurname, oldName, volunteer,
                                                        Volunteers::notInWindow(), m_shown ? &asRead : nullptr);
        if (result.number == Store::changedElsewhere) {
            finish(Messages::changedElsewhere());
            if (const auto now = Volunteers::find(*volunteers, oldSurname, oldName))
                showVolunteer(*now);
            else if (!readRefused(volunteers))
                clearWindow();
            return;
        }
        stored(result, u"Volontario modificato"_s);
    } else
        stored(Volunteers::insert(*volunteers, volunteer, Volunteers::notInWindow()), u"Volontario inserito"_s);
}

void Formvol::removeShown(const Volunteer &found)
{
    DataSource *volunteers = Windows::mainWindow()->Data6;
    const QString text = VolunteerText::of(found.surname, found.name);
    Hourglass::reset();
    if (!Messages::askYesNo(u"Elimino il volontario %1?"_s.arg(text), Messages::Default::No))
        return;
    // His health records go only when the user says so, knowing how many they are; a count
    // another PC changed since the question is asked again.
    qint64 visits = 0;
    while (true) {
        Hourglass::set();
        // Found again: the questions leave time for another PC to act.
        if (!Volunteers::find(*volunteers, found.surname, found.name)) {
            Hourglass::reset();
            if (!readRefused(volunteers))
                Messages::report(u"Volontario non trovato."_s);
            return;
        }
        const Store::Result removed = Volunteers::remove(*volunteers, visits);
        Hourglass::reset();
        if (removed.number != Volunteers::hasVisits) {
            if (!removed.ok()) {
                Messages::report(removed.description);
                return;
            }
            Messages::report(u"Volontario eliminato"_s);
            clearWindow();
            m_openedFor = {};
            return;
        }
        Store::Result refusal;
        visits = Surveillance::visitsOf(*Windows::mainWindow()->Data5, found.surname, found.name, &refusal).size();
        if (readRefused(!refusal.ok(), refusal.description))
            return;
        if (!Messages::askYesNo(
                visits == 1 ? u"Il volontario %1 ha 1 visita medica registrata: la elimino insieme a lui?"_s.arg(text)
                            : u"Il volontario %1 ha %2 visite mediche registrate: le elimino insieme a lui?"_s.arg(
                                  text, QString::number(visits)),
                Messages::Default::No))
            return;
    }
}

void calcolacodicefiscale()
{
    Formvol *window = Windows::formvol();
    const QString surname = window->fvcogn->text().toUpper();
    const QString firstName = window->fvnome->text().toUpper();
    const QString birthDate = window->fvdatana->text();
    const QString sex = window->fvsesso->text().toUpper();
    const QString place = window->fvluogona->currentText();
    const QString municipality = place.left(35).trimmed();
    if (const auto problem = TaxCode::problemWith(surname, firstName, sex, municipality, birthDate)) {
        Messages::report(*problem);
        return;
    }
    // Five names stand in two provinces: a place is known by its entry, which carries its province.
    const auto entry = window->placeEntry();
    if (!entry) {
        Messages::report(u"Scegliere il luogo di nascita dall'elenco."_s);
        return;
    }
    Hourglass::set();
    DataSource *municipalities = Windows::mainWindow()->Data20;
    const auto cadastralCode =
        Municipalities::cadastralCode(*municipalities, entry->left(35).trimmed(), entry->mid(37).trimmed());
    if (readRefused(municipalities))
        return;
    if (!cadastralCode) {
        Hourglass::reset();
        Messages::report(u"Comune non trovato"_s);
        return;
    }
    const QString code = TaxCode::compute(surname, firstName, sex, birthDate, cadastralCode->toUpper());
    Hourglass::reset();
    if (Messages::askYesNo(u"Vuoi utilizzare il codice calcolato? "_s + code))
        window->fvcfisc->setText(code);
}
