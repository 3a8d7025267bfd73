#pragma once

#include "store/surveillance.h"

#include <QDialog>

#include <array>

class QLineEdit;
class QPushButton;

// The thresholds of the risk hours R6-R10 and the intervals of the visits, as SOGLIE keeps them.
class ThresholdsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ThresholdsDialog(QWidget *parent);

    // Reads the thresholds and opens over the window; says why and closes when they cannot be read.
    void start();

    // R6 ... R10: the hours over the period, and in one week (sogliaanno6, sogliasett6 ...).
    std::array<QLineEdit *, 5> yearly{};
    std::array<QLineEdit *, 5> weekly{};
    QLineEdit *intcontrollo;    // years between basic checks
    QLineEdit *intsorveglianza; // months between surveillance visits
    QPushButton *cmdregistra;
    QPushButton *cmdesci;

    void cmdregistra_Click();

signals:
    void saved();

private:
    // Reads the thresholds into the boxes; false, said, when they cannot be read.
    bool load();

    Surveillance::Thresholds m_shown; // as read: a write goes ahead only over these
};
