// The dialog in which the user types where the cards are: the VISA resource descriptor of
// each card's carrier and the card's number on it. What was typed is remembered per card
// model in a small INI file shared by all users of the machine and offered again next time:
// the last five descriptors of each row, the card numbers and how many rows count.
//
// The file is <base>/Travix/DefaultInstrDescr.ini, where <base> is $ALLUSERSPROFILE when it is
// set and not empty, else /var/lib (the machine-wide folder for program state; Linux has no
// all-users profile). The folder is created when missing. A user who may not write there keeps
// the file in their own data folder (~/.local/share/Travix/) and is told so once; the machine's
// file is offered until then. When no file can be written the user is warned once per dialog
// and the typed addresses are still used for this run.
#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

#include <array>

class QComboBox;
class kq7000fp_fcEnterAddressFc;
class kq7000fp_genFC;

class kq7000fp_fcEnterAddress : public QDialog {
    Q_OBJECT
public:
    // Models 7140 and 7150 can be used as a group of up to 8 cards and get 8 rows and a count;
    // every other model gets one row.
    explicit kq7000fp_fcEnterAddress(const kq7000fp_genFC &descriptor, QWidget *parent = nullptr);

    // Fills the rows and the count from the file; what is missing or out of range reads as
    // its default.
    void loadSavedDescriptors();
    // Whether the rows were filled from the file: afterwards they hold what the user typed,
    // which a failed save must not replace with older entries.
    bool loaded() const { return m_loaded; }
    // Writes every row to the file and returns, in row order, the descriptors and card numbers
    // (0 = none chosen) of the rows that count.
    void saveAndCollectDescriptors(QStringList &descriptors, QList<int> &numbers);

    // Row i (from 0); nullptr for the rows a single-card model does not have.
    kq7000fp_fcEnterAddressFc *row(int i) const { return i >= 0 && i < 8 ? m_rows[i] : nullptr; }
    // Items "1" to "8"; the number of rows that count is the index + 1.
    QComboBox *countChoice() const { return m_count; }
    bool multipleCards() const { return m_rows[1] != nullptr; }
    QString settingsPath() const { return m_settingsPath; }
    QString machineSettingsPath() const { return m_machinePath; }

public slots:
    void countChanged();

private:
    static void showHistory(QComboBox *descriptor, const QStringList &history);

    std::array<kq7000fp_fcEnterAddressFc *, 8> m_rows{};
    QString m_modelText;
    QString m_machinePath;
    QString m_settingsPath;
    QComboBox *m_count = nullptr;
    bool m_loaded = false;
    bool m_warnedUnsaved = false;
    bool m_toldUserPath = false;
};
