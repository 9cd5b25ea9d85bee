#pragma once
// The file-dialog companion of the imaging control: the properties the callers set, then
// ShowOpenDialog, which asks through Prompts (so tests script the answer).
#include <QString>

class ImagingFileDialog {
public:
    // The picture chooser of image items and the Background dialog: titled "Open File", with
    // the picture formats users pick from.
    static ImagingFileDialog ForPictures();
    static QString PictureFilter();

    // Options of the replaced component; kept and read back, no effect here.
    bool DialogOption63() const { return m_option63; }
    void SetDialogOption63(bool on) { m_option63 = on; }
    int DialogOption16() const { return m_option16; }
    void SetDialogOption16(int v) { m_option16 = v; }

    // Windows filter form: "Name|*.a;*.b|Other|*.c|" (a trailing '|' or "||" is allowed).
    QString DialogFilter() const { return m_filter; }
    void SetDialogFilter(const QString &filter) { m_filter = filter; }
    QString DialogTitle() const { return m_title; }
    void SetDialogTitle(const QString &title) { m_title = title; }
    // 1-based filter selected when the dialog opens, and the one chosen afterwards.
    int DialogFilterIndex() const { return m_filterIndex; }
    void SetDialogFilterIndex(int index) { m_filterIndex = index; }
    // Open-dialog flags in the Windows numbering: 0x800 the folder must exist, 0x1000 the file
    // must exist. The open dialog always asks for an existing file; other bits are kept only.
    int DialogFlags() const { return m_flags; }
    void SetDialogFlags(int flags) { m_flags = flags; }
    // The initial folder or file, and after a choice the chosen file's full path.
    QString DialogFileName() const { return m_fileName; }
    void SetDialogFileName(const QString &name) { m_fileName = name; }

    // Shows the open dialog; 0 when a file was chosen (DialogFileName then holds its full
    // path), 1 when the user cancelled.
    int ShowOpenDialog();

private:
    bool m_option63 = true;
    int m_option16 = 0;
    QString m_filter;
    QString m_title;
    int m_filterIndex = 1;
    int m_flags = 0;
    QString m_fileName;
};
