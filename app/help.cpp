#include "app/help.h"

#include "store/referencedata.h"
#include "ui/twips.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
QString workingFolder()
{
    return QDir::toNativeSeparators(QDir::currentPath());
}

QString guideText()
{
    Store::initResources();
    QFile file(u":/data/guida.html"_s);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QDir folder = QDir::current();
    // The daily copies go in backup/ (store/backup.cpp), printouts without a printer in the folder itself.
    return QString::fromUtf8(file.readAll())
        .replace(u"@CARTELLA@"_s, workingFolder().toHtmlEscaped())
        .replace(u"@COPIE@"_s, QDir::toNativeSeparators(folder.absoluteFilePath(u"backup"_s)).toHtmlEscaped())
        .replace(u"@STAMPE@"_s, workingFolder().toHtmlEscaped());
}
} // namespace

Formguida::Formguida()
{
    setObjectName(u"Formguida"_s);
    setWindowTitle(u"Sentaro - Guida"_s);
    Twips::resizeClient(this, 10800, 10080);

    guida = new QTextBrowser(this);
    guida->setObjectName(u"guida"_s);
    guida->setHtml(guideText());
    cmdesci = new QPushButton(u"Esci"_s, this);
    cmdesci->setObjectName(u"cmdesci"_s);
    // Esc closes it as it does the other windows; this one lays itself out, so it has no scroll area of theirs.
    cmdesci->setShortcut(QKeySequence(Qt::Key_Escape));

    // The text reflows, so the window may be made as large as the reader likes.
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdesci);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(guida);
    layout->addLayout(buttons);

    connect(cmdesci, &QPushButton::clicked, this, &Formguida::cmdesci_Click);
}

void Formguida::cmdesci_Click()
{
    hide();
}

namespace Help {

QString aboutText()
{
    const QStringList components = {
        u"Qt %1: GNU LGPL 3.0 (LGPL-3.0-only)"_s.arg(QString::fromLatin1(qVersion())),
        u"Qt Charts, per il grafico della sorveglianza sanitaria: GNU GPL 3.0 (GPL-3.0-only)"_s,
        u"SQLite: pubblico dominio"_s,
#ifndef SENTARO_NO_JETREADER
        u"mdbtools (libmdb), per leggere gli archivi Access: GNU LGPL 2.0 o successiva (LGPL-2.0-or-later)"_s,
#endif
        u"libpq, per l'archivio su un server PostgreSQL: licenza PostgreSQL"_s,
#ifdef Q_OS_WIN
        u"OpenSSL, per il collegamento cifrato al server: licenza Apache 2.0 (Apache-2.0)"_s,
        u"librerie di esecuzione di mingw-w64 e GCC: MIT, ZPL 2.1 e GNU GPL 3.0 con la GCC Runtime Library "
        u"Exception 3.1"_s,
#else
        u"caratteri Liberation: SIL Open Font License 1.1 (OFL-1.1)"_s,
#endif
    };
#ifdef Q_OS_WIN
    const QString licenceText = u"Il testo completo delle licenze è nel file LICENZE.txt accanto al programma."_s;
#else
    const QString licenceText = u"Il testo completo della licenza è in /usr/share/common-licenses/GPL-3 e su "
                                u"https://www.gnu.org/licenses/gpl-3.0.html."_s;
#endif
    return u"Sentaro "_s + QString::fromLatin1(SENTARO_VERSION) +
           u"\nRegistro delle attività dei volontari di protezione civile.\n\n"
           u"Sentaro è software libero: si può ridistribuire e modificare secondo i termini della GNU General "
           u"Public License, versione 3 o (a scelta) successiva (GPL-3.0-or-later), pubblicata dalla Free "
           u"Software Foundation. È distribuito nella speranza che sia utile, ma SENZA ALCUNA GARANZIA.\n"_s +
           licenceText + u"\n\nComponenti e loro licenze:\n- "_s + components.join(u"\n- "_s) +
           u"\n\nCartella di lavoro: "_s + workingFolder();
}

} // namespace Help
