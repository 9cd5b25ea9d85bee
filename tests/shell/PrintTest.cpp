// Printing the frames: onto PDF pages through QPrinter, and the command line's print forms.
#include "FramesTestSupport.h"
#include "TestSupport.h"
#include "shell/CommandLinePrint.h"
#include "shell/FramePrinting.h"

#include <QDir>
#include <QPrinter>

namespace {
class PrintTest : public FramesFixture {
protected:
    // The pages of a PDF rendered at a low resolution, in order.
    static std::vector<QImage> Render(const QString &pdf)
    {
        const QString prefix = TestSupport::NewTempDir() + QStringLiteral("/page");
        EXPECT_EQ(TestSupport::Run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("40"),
                                                              QStringLiteral("-png"), pdf, prefix}),
                  0);
        std::vector<QImage> pages;
        QDir dir(QFileInfo(prefix).path());
        for (const QString &name : dir.entryList({QStringLiteral("page*.png")}, QDir::Files, QDir::Name))
            pages.push_back(QImage(dir.filePath(name)));
        return pages;
    }
};
} // namespace

TEST_F(PrintTest, FramesPrintInOrderAcrossPagesAtThePageWidth)
{
    std::vector<COLORREF> colours;
    for (int i = 0; i < 24; ++i)
        colours.push_back(QColorToColorref(QColor::fromHsv(i * 15, 255, 255)));
    MakeFrames(colours);
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    const QString pdf = TestSupport::NewTempDir() + QStringLiteral("/frames.pdf");
    printer.setOutputFileName(pdf);
    ASSERT_TRUE(FramePrinting::Print(*doc, printer));

    const std::vector<QImage> pages = Render(pdf);
    ASSERT_GT(pages.size(), 1u);
    // Down a column right of the captions, every thumbnail shows its frame's colour, frame after
    // frame and page after page, each across most of the page's width.
    std::vector<int> seen;
    for (const QImage &page : pages) {
        const int x = page.width() * 3 / 4;
        int run = 0, runFrame = -1;
        for (int y = 0; y < page.height(); ++y) {
            const QRgb px = page.pixel(x, y);
            int match = -1;
            for (int i = 0; i < int(colours.size()); ++i) {
                const QRgb c = ColorrefToQRgb(colours[std::size_t(i)]);
                if (std::abs(qRed(px) - qRed(c)) < 10 && std::abs(qGreen(px) - qGreen(c)) < 10 &&
                    std::abs(qBlue(px) - qBlue(c)) < 10)
                    match = i;
            }
            run = match == runFrame ? run + 1 : 1;
            runFrame = match;
            if (match >= 0 && run == 5 && (seen.empty() || seen.back() != match)) {
                seen.push_back(match);
                EXPECT_EQ(page.pixel(page.width() / 8, y), px) << "frame " << match;
            }
        }
    }
    std::vector<int> expected(colours.size());
    for (int i = 0; i < int(expected.size()); ++i)
        expected[std::size_t(i)] = i;
    EXPECT_EQ(seen, expected);
}

TEST_F(PrintTest, CommandLinePrintFormsExitWithOneAndSayWhy)
{
    EXPECT_FALSE(CommandLinePrint::Run({QStringLiteral("vellumark")}));
    EXPECT_FALSE(CommandLinePrint::Run({QStringLiteral("vellumark"), QStringLiteral("a.bnr")}));

    EXPECT_EQ(CommandLinePrint::Run({QStringLiteral("vellumark"), QStringLiteral("--print")}), 1);
    const QString missing = TestSupport::NewTempDir() + QStringLiteral("/missing.bnr");
    prompts.messages.clear();
    EXPECT_EQ(CommandLinePrint::Run({QStringLiteral("vellumark"), QStringLiteral("--print"), missing}), 1);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.startsWith(QStringLiteral("Cannot open the file \"missing.bnr\"")));

    const QString saved = TestSupport::NewTempDir() + QStringLiteral("/three.bnr");
    MakeFrames({0x0000FF, 0x00FF00, 0xFF0000});
    ASSERT_TRUE(doc->OnSaveDocument(saved));
    prompts.messages.clear();
    EXPECT_EQ(CommandLinePrint::Run({QStringLiteral("vellumark"), QStringLiteral("--print-to"),
                                     QStringLiteral("Vellumark No Such Printer"), saved}),
              1);
    EXPECT_TRUE(prompts.WasShown(QStringLiteral("There is no printer named \"Vellumark No Such Printer\"."),
                                 Prompts::Icon::Stop));
    // The registered prompts are back in place.
    EXPECT_EQ(&Prompts::Instance(), &prompts);
}
