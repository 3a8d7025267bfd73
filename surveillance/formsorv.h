#pragma once

#include "store/surveillance.h"

#include <QDate>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// The health surveillance: which volunteers the physician must see, from their risk hours over
// a period and their visits, with the visits and thresholds kept from here.
class Formsorv : public QWidget {
    Q_OBJECT
public:
    Formsorv();

    QLabel *Label1;
    QLineEdit *sorvdal;
    QLabel *Label2;
    QLineEdit *sorval;
    QPushButton *cmdelabora;
    QPushButton *cmdvisite;
    QPushButton *cmdsoglie;
    QTableWidget *tabsorv;
    // A Qt Charts view, or a label saying why there is none.
    QWidget *graficosorv;
    QPushButton *cmdstampa;
    QPushButton *cmdesporta;
    QPushButton *cmdesci;

    void cmdelabora_Click();
    void cmdvisite_Click();
    void cmdsoglie_Click();
    void cmdstampa_Click();
    void cmdesporta_Click();
    void cmdesci_Click();

    // The rows shown, as the store evaluated them.
    const QList<Surveillance::Row> &rows() const { return m_rows; }
    // What a role kept from the visits is told.
    static QString hiddenMessage();

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Evaluates the period last accepted again, keeping the selected volunteer.
    void evaluate();
    void showRows();
    void showChart();
    const Surveillance::Row *selected() const;
    // Printing and exporting need a table evaluated; said when there is none.
    bool evaluated();

    QList<Surveillance::Row> m_rows;
    Surveillance::Thresholds m_thresholds;
    QDate m_from;
    QDate m_to;
    // The hidden health data is said once each time the window is opened.
    bool m_hiddenSaid = false;
};
