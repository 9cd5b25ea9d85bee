#include "SampleFrame.h"

#include "document/BannerFrame.h"
#include "items/Polyline.h"
#include "items/PrimitiveGraphics.h"
#include "items/Stamp.h"
#include "items/Text.h"
#include "platform/imaging/ImagingControl.h"

// A mix of every item kind spread over the banner, the kinds in turn.
void FillSampleFrame(CBannerFrame &frame, int count, int seed, ImagingControl &work)
{
    work.CreateBitmap(40, 20, 24);
    work.FillColor(RGB(200, 100, 50));
    const PackedDib picture = work.GetAsDIB();
    for (int i = 0; i < count; ++i) {
        const int x = (i * 37 + seed * 11) % 440;
        const int y = (i * 13 + seed * 7) % 40;
        const CRect r(x, y, x + 28, y + 20);
        switch (i % 6) {
        case 0:
        case 1: {
            auto g = std::make_unique<CPrimitiveGraphics>(r);
            g->m_shape = std::int16_t(i % 3);
            g->m_fill = i % 2;
            g->m_fillColor = RGB(i * 5, 255 - i, seed * 3);
            g->m_penWidth = std::int16_t(1 + i % 3);
            frame.AddItem(std::move(g));
            break;
        }
        case 2: {
            auto t = std::make_unique<CText>(r);
            t->m_text = QStringLiteral("Sale %1").arg(i);
            frame.AddItem(std::move(t));
            break;
        }
        case 3: {
            auto p = std::make_unique<CPolyline>();
            for (int k = 0; k < 12; ++k)
                p->AddPoint({x + k * 2, y + (k * 7) % 20});
            frame.AddItem(std::move(p));
            break;
        }
        case 4: {
            auto s = std::make_unique<CStamp>(r);
            s->SetPicture(std::make_unique<PackedDib>(picture));
            frame.AddItem(std::move(s));
            break;
        }
        default: {
            auto g = std::make_unique<CPrimitiveGraphics>(r);
            g->m_shape = CPrimitiveGraphics::kEllipse;
            g->m_fill = 1;
            frame.AddItem(std::move(g));
            break;
        }
        }
    }
}
