#pragma once

#include <QPlainTextEdit>
#include <QString>

#include <functional>

class QByteArray;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;
class QWidget;

// A multi-line text box holding at most a given number of characters.
class MemoBox : public QPlainTextEdit {
    Q_OBJECT
public:
    MemoBox(int maxLength, QWidget *parent);
    QString text() const { return toPlainText(); }
    void setText(const QString &text);

private:
    int m_maxLength;
};

// Controls made the one way every window makes them: named, placed in twips.
namespace Controls {
QLabel *label(QWidget *parent, const QString &name, const QString &caption, int left, int top, int width = 975,
              int height = 255);
QLineEdit *textBox(QWidget *parent, const QString &name, int left, int top, int width, int height = 285,
                   const QString &toolTip = QString());
MemoBox *memoBox(QWidget *parent, const QString &name, int maxLength, int left, int top, int width, int height);
// A drop-down list that accepts typing; only choosing an entry from its list is a click.
// Typing never completes the text with an entry the user did not choose.
QComboBox *comboBox(QWidget *parent, const QString &name, int left, int top, int width, int height = 315);
// Offers, while the user types, a pop-up of the entries that contain the text; the text
// changes only when the user picks one of them (for long lists such as the municipalities,
// whose entries are then held as plain text, which fillCombo replaces in one go).
void offerPopupCompletion(QComboBox *combo);
QPushButton *button(QWidget *parent, const QString &name, const QString &caption, int left, int top, int width,
                    int height, const QString &toolTip = QString());
// Shows a picture (the bytes of an image file; none leaves the label empty) stretched over a
// label already placed, decoded at the size the label shows it.
void showPicture(QLabel *label, const QByteArray &encoded);
// A list box in a fixed-pitch font where a click selects or deselects a line.
QListWidget *multiList(QWidget *parent, const QString &name, int left, int top, int width, int height);
// A table that shows rows to choose one of, whole: read-only, one row selected at a time.
QTableWidget *rowTable(QWidget *parent, const QString &name, const QStringList &headings, int left, int top, int width,
                       int height);

// Replaces a drop-down list's entries in one go and leaves its text empty, as a list
// emptied and refilled does: no entry is chosen for the user.
void fillCombo(QComboBox *combo, const QStringList &entries);
// Fills a drop-down list of activity descriptions, each entry carrying its start date, so
// that choosing one names one activity even where several days share a description.
void fillDescriptions(QComboBox *combo, const QStringList &descriptions, const QStringList &starts);

// Replaces a list's lines in one go, sorted as a sorted list box keeps them
// (letter case ignored), so that a long list is not repainted line by line.
void fillSorted(QListWidget *list, QStringList lines);
void sortLikeList(QStringList &lines);

// Shows a window non-modally, bringing it forward when already open. A window not yet
// open is placed centred over the main window and wholly on its screen, frame included; one
// opened again comes back where it was.
void showWindow(QWidget *window);
void placeOnScreen(QWidget *window);

// What every window laid out in twips gets once its controls are made: the controls keep
// their designed places inside a scroll area, so a screen smaller than the design scrolls
// instead of cutting them; Tab follows the layout, row by row; Esc presses the window's
// "Esci" and Enter its default button, when the control holding the focus has no use for
// the key.
void finishWindow(QWidget *window, QPushButton *defaultButton = nullptr);

// Runs `handler` when the focus leaves `control` for another control of the program;
// the focus taken by a message box, a menu or another window does not count.
void onLostFocus(QWidget *control, std::function<void()> handler);
// Runs `handler` for Enter pressed in `control`, which then does nothing else with it.
void onEnter(QWidget *control, std::function<void()> handler);
} // namespace Controls
