/*
 * platform_check: exercises one build's platform half the way the demo does.
 *
 * Opens the screen, the controller and the audio output, then each frame
 * polls the buttons, draws a moving test pattern, shows it, tops up the
 * ring with the test tone and hands it to the output, until start is held
 * (Escape on the desktop). Prints one line per change of the button word and
 * a summary at the end (frames shown, tone frames produced, samples the
 * output took), and leaves through sys_exit like the demo.
 *
 *   platform_check [--still] [--frames N]
 *     --still     draw frame 0's pattern every frame (for screenshots)
 *     --frames N  also stop after N frames
 *   platform_check --stat FILE
 *     prints what fstat says of FILE, as the build's C library sees it, and
 *     exits (1 when it cannot be opened or fstat fails)
 */
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "audio/kv_audio.h"
#include "demo/kv_input.h"
#include "platform/kv_sys.h"
#include "tests/platform/check_pattern.h"
#include "video/kv_video.h"

/* One line of the fields of fstat(FILE). Returns the exit code. */
static int printStat(const char* path)
{
    int fd = open(path, O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        printf("check: stat failed\n");
        return 1;
    }
    close(fd);
    printf("check: stat mode %o nlink %u uid %u gid %u ino %llu size %lld blksize %ld blocks %lld mtime %lld\n",
           (unsigned)st.st_mode, (unsigned)st.st_nlink, (unsigned)st.st_uid, (unsigned)st.st_gid,
           (unsigned long long)st.st_ino, (long long)st.st_size, (long)st.st_blksize, (long long)st.st_blocks,
           (long long)st.st_mtim.tv_sec);
    return 0;
}

int main(int argc, char** argv)
{
    int still = 0;
    long maxFrames = -1;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--still"))
            still = 1;
        else if (!strcmp(argv[i], "--frames") && i + 1 < argc)
            maxFrames = atol(argv[++i]);
        else if (!strcmp(argv[i], "--stat") && i + 1 < argc)
            return printStat(argv[i + 1]);
    }

    sys_init();
    uint16_t* scr = scr_init();
    int kb = kb_init();
    int snd = snd_init(22050, 1);
    printf("check: screen %s, buttons %s, sound %s\n", scr ? "open" : "failed",
           kb == 0 ? "open" : "failed", snd ? "open" : "failed");
    fflush(stdout);

    long frame = 0;
    long long produced = 0; /* stereo frames of tone put into the ring */
    long long handed = 0;   /* samples the output took */
    if (scr && kb == 0) {
        uint32_t seen = 0;
        while (maxFrames < 0 || frame < maxFrames) {
            kb_poll();
            if (kb_buf != seen) {
                seen = kb_buf;
                printf("check: buttons 0x%05X\n", (unsigned)seen);
                fflush(stdout);
            }
            if (kb_keypressed(KB_START))
                break;
            check_draw(scr, still ? 0 : (unsigned)frame);
            scr_flip();
            produced += bufClr / 2;
            snd_genTone();
            handed += snd_update();
            if (frame == 0) {
                printf("check: first frame shown\n");
                fflush(stdout);
            }
            frame++;
        }
    }

    snd_exit();
    scr_exit();
    kb_exit();
    printf("check: frames %ld\n", frame);
    printf("check: tone frames %lld, samples taken %lld\n", produced, handed);
    fflush(stdout);
    sys_exit();
    return 0;
}
