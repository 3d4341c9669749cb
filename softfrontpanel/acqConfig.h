// The dialog shown before a continuous acquisition: where the data goes and in which format,
// how often the plot is redrawn, and what that costs in disk bandwidth. The last file name,
// format and timestamp choice are remembered per user (the acquisition writes them at every
// start with storage) and offered again next time.
#pragma once

#include "saveNameAsker.h"

#include <QDialog>
#include <QString>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class kq7150fp_App;

class acqConfig : public QDialog {
    Q_OBJECT
public:
    // Indexes of the format choice; the order is the format code of StorageFormat.
    enum FormatIndex { Binary64, CsvVolts, CsvMilli, Binary32, Flac, kFormatChoices };

    using SaveNameAsker = saveNameAsker;

    explicit acqConfig(kq7150fp_App *parent);

    // Remembers what a started acquisition stores, for the next time the dialog opens.
    static void writeSettings(const QString &fileName, int format, bool timestamps);

    QString fileName() const;
    int formatIndex() const;
    // The item data of the refresh choice, in milliseconds.
    int refreshMs() const;
    // Timestamps exist only with the PTP trigger source; the acquisition hides the box otherwise.
    QCheckBox *timestampsBox() const { return m_timestamps; }
    // Whether the file gets scan times: the box is checked and the format can hold them.
    bool storesTimestamps() const;
    // The waveform view has no use for the refresh interval when it does not plot.
    void showRefreshRow(bool show);

    QLineEdit *pathEdit() const { return m_path; }
    QPushButton *browseButton() const { return m_browse; }
    QComboBox *formatChoice() const { return m_format; }
    QLabel *refreshLabel() const { return m_refreshLabel; }
    QComboBox *refreshChoice() const { return m_refresh; }
    QLabel *dataRateLabel() const { return m_dataRate; }
    QPushButton *startButton() const { return m_start; }
    QPushButton *cancelButton() const { return m_cancel; }

    // An empty asker restores the real file dialog.
    void setSaveNameAsker(SaveNameAsker asker);

public slots:
    // Values per second of all channels together; a negative number keeps the last one.
    void setDataRate(int samplesPerSecond);
    void setDataRate() { setDataRate(-1); }

private slots:
    void offerTimestamps();
    void acceptMaybe();
    void browseSlot();

private:
    // moreChecks: the user is about to start, so a missing folder, a corrected extension and an
    // existing file are reported; otherwise only the extension is corrected, silently.
    bool checkPath(bool moreChecks);
    bool checkPath() { return checkPath(false); }

    QLineEdit *m_path = nullptr;
    QPushButton *m_browse = nullptr;
    QComboBox *m_format = nullptr;
    QCheckBox *m_timestamps = nullptr;
    QLabel *m_refreshLabel = nullptr;
    QComboBox *m_refresh = nullptr;
    QLabel *m_dataRate = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_cancel = nullptr;
    int m_valuesPerSecond = 0;
    SaveNameAsker m_askSaveName;
};
