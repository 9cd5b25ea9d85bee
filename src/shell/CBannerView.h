#pragma once
// The Frames View's window: a document view of its own kind, so the document can open, find
// and close it. The thumbnails it will list are not drawn yet; it shows an empty list.
#include "document/DocumentView.h"
#include "editor/CommandTarget.h"

#include <QWidget>

class CBannerDoc;

class CBannerView : public QWidget, public DocumentView, public CommandTarget {
    Q_OBJECT
public:
    explicit CBannerView(CBannerDoc &doc, QWidget *parent = nullptr);
    ~CBannerView() override;

    CBannerDoc &GetDocument() const { return m_doc; }
    ViewKind Kind() const override { return ViewKind::FramesView; }
    void OnUpdate(DocumentView *sender, long hint, CSprite *item) override;

private:
    CBannerDoc &m_doc;
};
