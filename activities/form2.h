#pragma once

#include "store/records.h"

#include <QWidget>

#include <optional>

class MemoBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The activity registry: enter, change, rename and delete activities.
class Form2 : public QWidget {
    Q_OBJECT
public:
    Form2();

    QLabel *Label1;
    QComboBox *f2datain;
    QPushButton *Command1;
    QLabel *Label2;
    QLineEdit *f2datafi;
    QLabel *Label3;
    QComboBox *f2descr;
    QLabel *Label4;
    QLineEdit *f2loc;
    QLabel *Label5;
    QLineEdit *f2prov;
    QLabel *Label6;
    QLineEdit *f2oretot;
    QLabel *Label7;
    QLineEdit *f2oreuomo;
    QLabel *Label8;
    MemoBox *f2note1;
    QLabel *Label9;
    MemoBox *f2note2;
    QPushButton *cmdreg;
    QPushButton *cmdmodifica;
    QPushButton *cmdelimina;
    QPushButton *cmdesci;

    void f2datain_Click();
    void f2descr_Click();
    void Command1_Click();
    void cmdreg_Click();
    void cmdmodifica_Click();
    void cmdelimina_Click();
    void cmdesci_Click();

    // What the window read of the activity it shows, to write over nothing else; none once emptied.
    std::optional<AsRead> shownAsRead(const QString &start, const QString &description) const;
    void forgetShown() { m_shown.reset(); }
    // Says that another PC changed or deleted the activity the boxes name, and shows it as it now is.
    void showAsItIs(const QString &start, const QString &description);

private:
    bool commonChecks();
    bool readHours(double *total, double *manHours);
    void showActivityFields(const Activity &activity);
    // The activity as the boxes and the date check now hold it, with the hours read.
    Activity typedActivity(double total, double manHours) const;
    // Writes the boxes over the activity they name (while it holds `asRead`, when given), saying how
    // it went; true when written.
    bool rewriteActivity(double total, double manHours, const AsRead *asRead);
    // After a change of the activities: the main grid and this window's lists show it.
    void showChange();
    // True when no volunteer of the activity has more hours than the dates typed hold, or the user
    // confirms them.
    bool hoursStillFit();

    std::optional<Activity> m_shown; // as read when last shown
};
