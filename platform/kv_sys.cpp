/*
 * kv_sys: the part every platform half shares (see kv_sys.h and the platform
 * calls of audio/kv_audio.h). Compiled into each half.
 */
#include "platform/kv_sys.h"

#include "audio/kv_audio.h"
#include "video/kv_font.h"
#include "video/kv_video.h"

void snd_platMessage(const char* line)
{
    bprint(line);
    scr_flip();
}
