// The message text shared by the ACE extraction and its dialogs.
#include "base/ace_prompts.h"

#include <cstdio>
#include <cstring>

char messageBuffer[ACE_MESSAGE_BUFFER_SIZE];

const char* formatMessage(const char* format, const char* argument) {
    int written = snprintf(messageBuffer, sizeof messageBuffer, format, argument ? argument : "");
    if (written < 0) {
        messageBuffer[0] = '\0';
    } else if (static_cast<size_t>(written) >= sizeof messageBuffer) {
        // Cut short: do not leave a lead byte without its trail byte.
        size_t length = strlen(messageBuffer);
        size_t i = 0;
        while (i < length) {
            if (IsDBCSLeadByte(static_cast<BYTE>(messageBuffer[i]))) {
                if (i + 1 >= length) {
                    messageBuffer[i] = '\0';
                    break;
                }
                i += 2;
            } else {
                ++i;
            }
        }
    }
    return messageBuffer;
}
