#include "app/registercheckwindow.h"

#include "app/form1.h"
#include "app/maintenance.h"
#include "app/windows.h"
#include "common/compactlines.h"
#include "database/datasource.h"
#include "ui/controls.h"
#include "ui/exportfile.h"
#include "ui/hourglass.h"
#include "ui/linelistview.h"
#include "ui/messages.h"
#include "ui/printer.h"
#include "ui/twips.h"
#include "volunteers/taxcode.h"

#include <QDir>
#include <QPushButton>

using namespace Qt::StringLiterals;

Formcontrollo::Formcontrollo(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(u"Formcontrollo"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"Sentaro - Controllo dell'archivio"_s);
    Twips::resizeClient(this, 15015, 9240);
    List1 = new LineListView(this);
    List1->setObjectName(u"List1"_s);
    List1->setFont(Twips::font(u"Courier New"_s, 8.25));
    Twips::place(List1, 360, 360, 14295, 7710);
    using Controls::button;
    cmdcorreggi = button(this, u"cmdcorreggi"_s, u"&Correggi"_s, 7200, 8400, 1335, 495);
    cmdstampa = button(this, u"cmdstampa"_s, u"&Stampa"_s, 8640, 8400, 1335, 495);
    cmdesporta = button(this, u"cmdesporta"_s, u"&Esporta CSV"_s, 10080, 8400, 1335, 495);
    cmdesci = button(this, u"cmdesci"_s, u"Esci"_s, 12960, 8400, 1095, 495);
    connect(cmdcorreggi, &QPushButton::clicked, this, &Formcontrollo::cmdcorreggi_Click);
    connect(cmdstampa, &QPushButton::clicked, this, &Formcontrollo::cmdstampa_Click);
    connect(cmdesporta, &QPushButton::clicked, this, &Formcontrollo::cmdesporta_Click);
    connect(cmdesci, &QPushButton::clicked, this, &QWidget::close);
}

bool Formcontrollo::check()
{
    DataSource::releaseAll();
    Hourglass::set();
    m_report = RegisterCheck::check(*Windows::form1()->Data4,
                                    [](const QString &code) { return TaxCode::wrongCheckCharacter(code); });
    Hourglass::reset();
    if (!m_report.refusal.ok()) {
        Messages::report(u"Controllo non eseguito: "_s + m_report.refusal.description);
        return false;
    }
    CompactLines lines;
    for (const QString &line : RegisterCheck::lines(m_report))
        lines.append(line);
    lines.squeeze();
    List1->setLines(std::move(lines));
    cmdcorreggi->setEnabled(m_report.mendable());
    return true;
}

void Formcontrollo::cmdcorreggi_Click()
{
    using RegisterCheck::Kind;
    const int rows = m_report.count(Kind::DetailDiffers), activities = m_report.count(Kind::TotalsDiffer);
    if (!Messages::askYesNo(u"Correggo %1 righe di dettaglio e i totali di %2 attività, dopo una copia "
                            u"dell'archivio com'è ora?"_s.arg(rows)
                                .arg(activities),
                            Messages::Default::No))
        return;
    Form1 *main = Windows::form1();
    RegisterCheck::Mended mended;
    QString copy;
    const std::optional<Store::Result> result =
        changedAfterCopy(u"l'archivio non è stato corretto"_s, [&](const QString &file, bool *copied) {
            copy = file;
            return RegisterCheck::mend(*main->Data4, file, copied, &mended);
        });
    main->Data4->refresh();
    main->Data3->refresh();
    main->showActivities();
    Hourglass::reset();
    if (!result)
        return;
    if (!result->ok()) {
        Messages::report(Store::refusal(u"Archivio non corretto: "_s, *result));
        return;
    }
    Messages::report(u"Corrette %1 righe di dettaglio e i totali di %2 attività. La copia dell'archivio com'era è "
                     u"nel file %3."_s.arg(mended.details)
                         .arg(mended.activities)
                         .arg(QDir::toNativeSeparators(QDir::current().absoluteFilePath(copy))));
    check();
}

void Formcontrollo::cmdstampa_Click()
{
    printListing(RegisterCheck::lines(m_report), u"controllo"_s, 0);
}

void Formcontrollo::cmdesporta_Click()
{
    exportStamped(u"controllo"_s, u"csv"_s, RegisterCheck::csv(m_report), u"Controllo esportato nel file "_s);
}

void controllaarchivio()
{
    auto *window = new Formcontrollo(Windows::form1());
    if (!window->check()) {
        delete window;
        return;
    }
    window->show();
    window->activateWindow();
}
