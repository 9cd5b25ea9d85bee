#include "shell/CBannerView.h"

#include "document/BannerDoc.h"

CBannerView::CBannerView(CBannerDoc &doc, QWidget *parent) : QWidget(parent), m_doc(doc)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    m_doc.AddView(this);
}

CBannerView::~CBannerView()
{
    m_doc.RemoveView(this);
}

void CBannerView::OnUpdate(DocumentView *, long, CSprite *)
{
    update();
}
