#include "gui/update_dialogs.h"

#include "gui/message_boxes.h"
#include "gui/web_links.h"

UpdateCheckDialogs updateCheckDialogs()
{
    return UpdateCheckDialogs{showError, showInformation, askQuestion, openDocument};
}
