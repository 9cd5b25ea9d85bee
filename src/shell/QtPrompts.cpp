#include "shell/QtPrompts.h"

#include "shell/GifExportOptionsDialog.h"
#include "shell/GifWarnDlg.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {
QString Caption()
{
    const QString name = QApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Vellumark") : name;
}

// Logical pixels at 96 dots per inch, the unit of LOGFONT heights in banner files.
constexpr double kLogicalDpi = 96.0;

// "Options..." beside Save and Cancel, for the GIF export options while the name and the filter
// make a GIF. The options are stored when their dialog closes with OK, whether or not the
// file is then saved.
void AddGifOptionsButton(QFileDialog &dialog, const Prompts::FileDialog &options, const QStringList &filters)
{
    auto *buttons = dialog.findChild<QDialogButtonBox *>();
    auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (!buttons || !name)
        return;
    QPushButton *button = buttons->addButton(QStringLiteral("&Options..."), QDialogButtonBox::ActionRole);
    // Return keeps saving after the options were opened.
    button->setAutoDefault(false);
    auto update = [&dialog, &options, &filters, name, button] {
        const int index = int(filters.indexOf(dialog.selectedNameFilter())) + 1;
        button->setEnabled(options.savesGif(name->text(), index));
    };
    QObject::connect(name, &QLineEdit::textChanged, button, update);
    QObject::connect(&dialog, &QFileDialog::filterSelected, button, update);
    QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog] { GifExportOptionsDialog(&dialog).exec(); });
    update();
}

// The name completion list takes Return to close itself (putting a completion highlighted with
// the arrow keys into the field) and the dialog stays open. Return there goes on to the name field
// once the list is done, so it saves (or opens) the name as it then stands through the dialog's
// own checks (folder, extension, overwriting), as Return in the field does.
class ReturnThroughCompletionList : public QObject {
public:
    ReturnThroughCompletionList(QAbstractItemView *list, QLineEdit *name) : QObject(name), m_list(list), m_name(name)
    {
        list->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_list && event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                // Queued: the dialog cannot close from within the list's own key press. Not when
                // the dialog has closed or asks something meanwhile, so it is never asked twice.
                QMetaObject::invokeMethod(m_name, [name = m_name, code = key->key(), modifiers = key->modifiers()] {
                    if (QApplication::activeModalWidget() != name->window())
                        return;
                    QKeyEvent press(QEvent::KeyPress, code, modifiers);
                    QApplication::sendEvent(name, &press);
                }, Qt::QueuedConnection);
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QAbstractItemView *m_list;
    QLineEdit *m_name;
};

void SaveOnReturnInCompletionList(QFileDialog &dialog)
{
    auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (name && name->completer() && name->completer()->popup())
        new ReturnThroughCompletionList(name->completer()->popup(), name);
}
} // namespace

Prompts::Answer QtPrompts::Message(const QString &text, Icon icon, Buttons buttons)
{
    QMessageBox box(m_parent);
    box.setWindowTitle(Caption());
    box.setText(text);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Stop: box.setIcon(QMessageBox::Critical); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    }
    switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;
    }
}

std::optional<Prompts::FileChoice> QtPrompts::RunFileDialog(const FileDialog &options, bool save)
{
    QFileDialog dialog(m_parent, options.title.isEmpty() ? (save ? QStringLiteral("Save As") : QStringLiteral("Open"))
                                                         : options.title);
    const QStringList filters = WindowsFilterToQt(options.filter);
    dialog.setNameFilters(filters);
    if (options.filterIndex >= 1 && options.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[options.filterIndex - 1]);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!options.defaultExt.isEmpty())
        dialog.setDefaultSuffix(options.defaultExt);
    if (!options.overwritePrompt)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!options.initialPath.isEmpty()) {
        const QFileInfo info(options.initialPath);
        if (info.isDir())
            dialog.setDirectory(options.initialPath);
        else
            dialog.selectFile(options.initialPath);
    }
    if (save && options.savesGif) {
        // Qt's own dialog, which takes a button of ours.
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        AddGifOptionsButton(dialog, options, filters);
    }
    SaveOnReturnInCompletionList(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const int index = int(filters.indexOf(dialog.selectedNameFilter()));
    return FileChoice{QFileInfo(dialog.selectedFiles().first()).absoluteFilePath(), index < 0 ? 1 : index + 1};
}

std::optional<Prompts::FileChoice> QtPrompts::OpenFile(const FileDialog &options)
{
    return RunFileDialog(options, false);
}

std::optional<Prompts::FileChoice> QtPrompts::SaveFile(const FileDialog &options)
{
    return RunFileDialog(options, true);
}

std::optional<COLORREF> QtPrompts::ChooseColor(COLORREF initial)
{
    const QColor c = QColorDialog::getColor(ColorrefToQColor(initial), m_parent);
    if (!c.isValid())
        return std::nullopt;
    return QColorToColorref(c);
}

std::optional<Prompts::FontChoice> QtPrompts::ChooseFont(const FontChoice &initial)
{
    QFont font(initial.face);
    // A negative LOGFONT height is the character height in logical pixels.
    const int pixels = initial.height < 0 ? -initial.height : (initial.height > 0 ? initial.height : 13);
    font.setPointSizeF(pixels * 72.0 / kLogicalDpi);
    // Weight 0 is "any weight": the regular one, not the thinnest.
    font.setWeight(QFont::Weight(initial.weight <= 0 ? 400 : qMin(initial.weight, 1000)));
    font.setItalic(initial.italic);
    font.setUnderline(initial.underline);
    font.setStrikeOut(initial.strikeOut);
    QFontDialog dialog(font, m_parent);
    // The dialog lists the faces installed; a face the machine lacks shows as one of those. It
    // is kept unless the user picks another, so the banner keeps the face it names.
    const QString shownFace = dialog.currentFont().family();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QFont chosen = dialog.selectedFont();
    FontChoice out = initial;
    if (chosen.family() != shownFace)
        out.face = chosen.family();
    out.height = -qRound(chosen.pointSizeF() * kLogicalDpi / 72.0);
    out.weight = chosen.weight();
    out.italic = chosen.italic();
    out.underline = chosen.underline();
    out.strikeOut = chosen.strikeOut();
    return out;
}

bool QtPrompts::ShowGifWarning()
{
    GifWarnDlg dialog(m_parent);
    dialog.m_check = true;
    dialog.exec();
    return dialog.m_check;
}

bool QtPrompts::WarnWithOptOut(const QString &text)
{
    QMessageBox box(m_parent);
    box.setWindowTitle(Caption());
    box.setIcon(QMessageBox::Warning);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    auto *again = new QCheckBox(QStringLiteral("&Show this message next time."), &box);
    again->setChecked(true);
    box.setCheckBox(again);
    box.exec();
    return again->isChecked();
}
