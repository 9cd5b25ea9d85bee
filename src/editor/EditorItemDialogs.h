#pragma once
// The item property dialogs behind the items' EditProperties, registered by the application.
#include "items/ItemContext.h"

class EditorItemDialogs : public ItemDialogs {
public:
    bool EditText(CText &item) override;
    bool EditShape(ShapeProperties &properties) override;
};
