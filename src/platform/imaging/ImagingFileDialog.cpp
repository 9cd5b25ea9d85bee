#include "platform/imaging/ImagingFileDialog.h"

#include "platform/Prompts.h"

#include <QFileInfo>

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
