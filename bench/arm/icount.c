/*
 * icount: a QEMU TCG plugin counting the guest's instructions.
 *
 *   qemu-arm -plugin ./libicount.so,arg=out=FILE,arg=mark=ADDR,... PROGRAM
 *   qemu-arm -plugin ./libicount.so,arg=out=FILE,arg=profile=1 PROGRAM
 *
 * Counting: every translated block adds its instruction count to one
 * running total when it runs (an inline add, no call). Each mark=ADDR (hex,
 * as nm prints it; up to 16) names an address where the running total is
 * noted whenever execution enters a block starting there, typically a
 * function's entry. At exit FILE gets one line per noted event, in order,
 * "MARK COUNT" (MARK the mark's index in the arguments, from 0), then
 * "total COUNT". The count at an event is taken before the block at the
 * marked address runs.
 *
 * Profile (profile=1): FILE gets "ADDR COUNT" lines instead, the
 * instructions executed by the blocks starting at each address (hex),
 * unsorted; a report maps them to functions with nm.
 *
 * The results go to FILE rather than standard output because the guest
 * closes descriptors 0-2 on its way out. One virtual CPU (user mode).
 *
 * The few calls of QEMU's plugin interface (version 1, as qemu 7.2 loads
 * it) are declared here.
 */
#include <inttypes.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* ---- The plugin interface, version 1 -------------------------------------- */
typedef uint64_t qemu_plugin_id_t;
struct qemu_plugin_tb;
typedef struct qemu_info_t qemu_info_t; /* not read */
enum qemu_plugin_cb_flags { QEMU_PLUGIN_CB_NO_REGS, QEMU_PLUGIN_CB_R_REGS, QEMU_PLUGIN_CB_RW_REGS };
enum qemu_plugin_op { QEMU_PLUGIN_INLINE_ADD_U64 };
typedef void (*qemu_plugin_vcpu_tb_trans_cb_t)(qemu_plugin_id_t id, struct qemu_plugin_tb* tb);
typedef void (*qemu_plugin_vcpu_udata_cb_t)(unsigned int vcpu_index, void* userdata);
typedef void (*qemu_plugin_udata_cb_t)(qemu_plugin_id_t id, void* userdata);

void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_tb_trans_cb_t cb);
size_t qemu_plugin_tb_n_insns(const struct qemu_plugin_tb* tb);
uint64_t qemu_plugin_tb_vaddr(const struct qemu_plugin_tb* tb);
void qemu_plugin_register_vcpu_tb_exec_inline(struct qemu_plugin_tb* tb, enum qemu_plugin_op op, void* ptr,
                                              uint64_t imm);
void qemu_plugin_register_vcpu_tb_exec_cb(struct qemu_plugin_tb* tb, qemu_plugin_vcpu_udata_cb_t cb,
                                          enum qemu_plugin_cb_flags flags, void* userdata);
void qemu_plugin_register_atexit_cb(qemu_plugin_id_t id, qemu_plugin_udata_cb_t cb, void* userdata);

__attribute__((visibility("default"))) int qemu_plugin_version = 1;

/* ---- Globals ----------------------------------------------------------------
 * Lifetime: the whole emulation. Counts are guest instructions. */
enum { MARK_MAX = 16 };
static uint64_t total;             /* instructions of every block run so far */
static uint64_t marks[MARK_MAX];   /* marked guest addresses */
static int markCount;              /* entries of marks in use */
static char outPath[4096];         /* the result file */
static int profile;                /* 1: counts per block address */

/* The noted events: mark index and total, grown as needed. */
static struct Event { int mark; uint64_t count; } *events;
static size_t eventCount, eventCap;

/* Profile: one entry per translated block (a block translated again gets
 * another entry; the report adds them up by address). */
static struct Block { uint64_t vaddr, insns, runs; } **blocks;
static size_t blockCount, blockCap;

static void icount_note(unsigned int vcpu, void* udata)
{
    (void)vcpu;
    if (eventCount == eventCap) {
        eventCap = eventCap ? eventCap * 2 : 65536;
        events = realloc(events, eventCap * sizeof *events);
        if (!events)
            abort();
    }
    events[eventCount].mark = (int)(intptr_t)udata;
    events[eventCount].count = total;
    eventCount++;
}

static void icount_trans(qemu_plugin_id_t id, struct qemu_plugin_tb* tb)
{
    (void)id;
    uint64_t n = qemu_plugin_tb_n_insns(tb);
    uint64_t va = qemu_plugin_tb_vaddr(tb);
    if (profile) {
        struct Block* b = malloc(sizeof *b);
        if (!b)
            abort();
        b->vaddr = va;
        b->insns = n;
        b->runs = 0;
        if (blockCount == blockCap) {
            blockCap = blockCap ? blockCap * 2 : 65536;
            blocks = realloc(blocks, blockCap * sizeof *blocks);
            if (!blocks)
                abort();
        }
        blocks[blockCount++] = b;
        qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &b->runs, 1);
        return;
    }
    /* the note first, so it sees the total before this block's add */
    for (int i = 0; i < markCount; i++)
        if (marks[i] == va)
            qemu_plugin_register_vcpu_tb_exec_cb(tb, icount_note, QEMU_PLUGIN_CB_NO_REGS, (void*)(intptr_t)i);
    qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &total, n);
}

static void icount_exit(qemu_plugin_id_t id, void* udata)
{
    (void)id;
    (void)udata;
    FILE* f = fopen(outPath, "w");
    if (!f) {
        fprintf(stderr, "icount: cannot write %s\n", outPath);
        return;
    }
    if (profile) {
        for (size_t i = 0; i < blockCount; i++)
            if (blocks[i]->runs)
                fprintf(f, "%" PRIx64 " %" PRIu64 "\n", blocks[i]->vaddr, blocks[i]->runs * blocks[i]->insns);
    } else {
        for (size_t i = 0; i < eventCount; i++)
            fprintf(f, "%d %" PRIu64 "\n", events[i].mark, events[i].count);
        fprintf(f, "total %" PRIu64 "\n", total);
    }
    fclose(f);
}

__attribute__((visibility("default"))) int qemu_plugin_install(qemu_plugin_id_t id, const qemu_info_t* info,
                                                               int argc, char** argv)
{
    (void)info;
    for (int i = 0; i < argc; i++) {
        const char* a = argv[i];
        if (!strncmp(a, "out=", 4)) {
            snprintf(outPath, sizeof outPath, "%s", a + 4);
        } else if (!strncmp(a, "mark=", 5) && markCount < MARK_MAX) {
            marks[markCount++] = strtoull(a + 5, NULL, 16);
        } else if (!strncmp(a, "profile=", 8)) {
            profile = atoi(a + 8);
        } else {
            fprintf(stderr, "icount: unknown argument %s\n", a);
            return -1;
        }
    }
    if (!outPath[0]) {
        fprintf(stderr, "icount: say out=FILE\n");
        return -1;
    }
    qemu_plugin_register_vcpu_tb_trans_cb(id, icount_trans);
    qemu_plugin_register_atexit_cb(id, icount_exit, NULL);
    return 0;
}
