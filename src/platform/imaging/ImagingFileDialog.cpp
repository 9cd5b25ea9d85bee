#include "platform/imaging/ImagingFileDialog.h"

#include "platform/Prompts.h"

#include <QFileInfo>

QString ImagingFileDialog::PictureFilter()
{
    return QStringLiteral("Compuserve GIF|*.gif|JPEG|*.jpg;*.jpeg|Windows Bitmap|*.bmp|Compuserve PNG|*.png|"
                          "Raw FAX|*.fax|EPS Raster|*.eps|Kodak FlashPix|*.fpx|GEM Image|*.gem;*.img|");
}

ImagingFileDialog ImagingFileDialog::ForPictures()
{
    ImagingFileDialog dialog;
    dialog.SetDialogOption63(false);
    dialog.SetDialogOption16(0);
    dialog.SetDialogFilter(PictureFilter());
    dialog.SetDialogTitle(QStringLiteral("Open File"));
    dialog.SetDialogFlags(0x140);
    return dialog;
}

int ImagingFileDialog::ShowOpenDialog()
{
    Prompts::FileDialog options;
    options.title = m_title;
    options.filter = m_filter;
    options.filterIndex = m_filterIndex;
    options.initialPath = m_fileName;
    options.fileMustExist = true;
    options.pathMustExist = true;
    const auto choice = Prompts::Instance().OpenFile(options);
    if (!choice.has_value() || choice->path.isEmpty())
        return 1;
    m_fileName = QFileInfo(choice->path).absoluteFilePath();
    m_filterIndex = choice->filterIndex;
    return 0;
}
