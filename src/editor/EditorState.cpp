#include "editor/EditorState.h"

#include "items/Sprite.h"

EditorState &EditorState::Instance()
{
    static EditorState state;
    return state;
}
