#pragma once
// The GIF export options, offered by Save As while a GIF is chosen: the size budget, fitting
// the file within it, the lossy level and dithering. Opens with the user's stored options; OK
// stores what it shows (GifExportSettings), Cancel changes nothing.
#include "document/GifExportSettings.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

class GifExportOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit GifExportOptionsDialog(QWidget *parent = nullptr);

    // The options shown when the dialog opens (the stored ones) and, after OK, those stored.
    GifExportSettings::Stored m_options;

    QLineEdit *BudgetEdit() const { return m_budget; }
    QCheckBox *FitCheck() const { return m_fit; }
    QLineEdit *LossyEdit() const { return m_lossy; }
    QCheckBox *DitherCheck() const { return m_dither; }

    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLineEdit *m_budget;
    QCheckBox *m_fit;
    QLineEdit *m_lossy;
    QCheckBox *m_dither;
};
