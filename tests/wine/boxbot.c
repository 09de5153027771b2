/* boxbot: watches the desktop of one Wine prefix while the uninstaller runs.
 *
 * Every message box (a dialog of class #32770) that appears is logged with its
 * caption, text, buttons, owner window and the process that shows it, and is then
 * answered with the next scripted button.  The window whose title is given with -w
 * is logged once with its window rect, client rect and style.  Every process whose
 * image name is given with -p is logged with its path and exit code.
 *
 * The bot ends when the stop file appears, when the watched processes have all
 * ended (after at least one was seen), or at the timeout.
 *
 *   boxbot -l LOG -a YES,OK,NO -w TITLE -p IMAGE.EXE [-s STOPFILE] [-t SECONDS] [-g GATE]
 *   boxbot -e CODE     prints FormatMessageA's text for a Win32 error code
 *
 * With -g the bot leaves a Yes/No box open until the file GATE exists (so that a
 * screenshot can be taken) and writes "SHOWN" to the log when it starts waiting.
 *
 * Log lines are Windows-1252, fields separated by TAB, control characters in
 * texts escaped as \n, \r, \t and \\ so that one observation is one line.
 */
#include <windows.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <string.h>
#include <stdlib.h>
#include <io.h>
#include <fcntl.h>

static FILE *logfile;
static const char *answers[64];
static int answercount, nextanswer;
static const char *watchtitle;
static const char *watchimage;
static const char *gatepath;
static int titleseen;

#define MAXBOXES 256
static HWND handled[MAXBOXES];
static int handledcount;

#define MAXPROCS 64
static struct { DWORD pid; HANDLE handle; char path[MAX_PATH]; } procs[MAXPROCS];
static int proccount, procsalive;

static void put_escaped(const char *s)
{
    for (; *s; s++) {
        unsigned char c = (unsigned char)*s;
        if (c == '\n') fputs("\\n", logfile);
        else if (c == '\r') fputs("\\r", logfile);
        else if (c == '\t') fputs("\\t", logfile);
        else if (c == '\\') fputs("\\\\", logfile);
        else if (c < 0x20) fprintf(logfile, "\\x%02x", c);
        else fputc(c, logfile);
    }
}

static void process_path(DWORD pid, char *out, DWORD size)
{
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    out[0] = 0;
    if (h) {
        DWORD n = size;
        if (!QueryFullProcessImageNameA(h, 0, out, &n)) out[0] = 0;
        CloseHandle(h);
    }
}

static int already_handled(HWND w)
{
    int i;
    for (i = 0; i < handledcount; i++)
        if (handled[i] == w) return 1;
    return 0;
}

static void forget_dead_boxes(void)
{
    int i, j = 0;
    for (i = 0; i < handledcount; i++)
        if (IsWindow(handled[i])) handled[j++] = handled[i];
    handledcount = j;
}

static int button_id(const char *name)
{
    if (!strcmp(name, "YES")) return IDYES;
    if (!strcmp(name, "NO")) return IDNO;
    if (!strcmp(name, "OK")) return IDOK;
    if (!strcmp(name, "CANCEL")) return IDCANCEL;
    return 0;
}

static void handle_box(HWND box)
{
    char caption[1024], text[8192], ownertitle[1024], path[MAX_PATH], buttons[64];
    HWND owner = GetWindow(box, GW_OWNER);
    DWORD pid = 0;
    const char *answer;
    int id;

    GetWindowTextA(box, caption, sizeof caption);
    if (!GetDlgItemTextA(box, 0xFFFF, text, sizeof text)) text[0] = 0;
    ownertitle[0] = 0;
    if (owner) GetWindowTextA(owner, ownertitle, sizeof ownertitle);
    GetWindowThreadProcessId(box, &pid);
    process_path(pid, path, sizeof path);
    buttons[0] = 0;
    if (GetDlgItem(box, IDOK)) strcat(buttons, "OK ");
    if (GetDlgItem(box, IDYES)) strcat(buttons, "YES ");
    if (GetDlgItem(box, IDNO)) strcat(buttons, "NO ");
    if (GetDlgItem(box, IDCANCEL)) strcat(buttons, "CANCEL ");
    if (buttons[0]) buttons[strlen(buttons) - 1] = 0;

    answer = nextanswer < answercount ? answers[nextanswer++] : NULL;
    id = answer ? button_id(answer) : 0;
    if (!id || !GetDlgItem(box, id)) {
        /* Not in the script: close it with the button a user would take to get out. */
        id = GetDlgItem(box, IDNO) ? IDNO : GetDlgItem(box, IDCANCEL) ? IDCANCEL : IDOK;
        answer = id == IDNO ? "NO!" : id == IDCANCEL ? "CANCEL!" : "OK!";
    }

    fputs("BOX\t", logfile);
    put_escaped(caption);
    fputc('\t', logfile);
    put_escaped(text);
    fprintf(logfile, "\t%s\t%s\t", buttons, owner ? "owner" : "none");
    put_escaped(ownertitle);
    fputc('\t', logfile);
    put_escaped(path);
    fprintf(logfile, "\t%s\n", answer);
    fflush(logfile);

    if (gatepath && GetDlgItem(box, IDYES)) {
        fputs("SHOWN\n", logfile);
        fflush(logfile);
        while (GetFileAttributesA(gatepath) == INVALID_FILE_ATTRIBUTES) Sleep(100);
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(box, id));
}

static void handle_window(HWND w)
{
    RECT wr, cr;
    DWORD pid = 0;
    char path[MAX_PATH];
    GetWindowRect(w, &wr);
    GetClientRect(w, &cr);
    GetWindowThreadProcessId(w, &pid);
    process_path(pid, path, sizeof path);
    fprintf(logfile, "WINDOW\t");
    put_escaped(watchtitle);
    fprintf(logfile, "\t%ld %ld %ld %ld\t%ld %ld\t%08lX\t", wr.left, wr.top, wr.right - wr.left,
            wr.bottom - wr.top, cr.right - cr.left, cr.bottom - cr.top,
            (unsigned long)GetWindowLongA(w, GWL_STYLE));
    put_escaped(path);
    fputc('\n', logfile);
    fflush(logfile);
}

static BOOL CALLBACK visit(HWND w, LPARAM unused)
{
    char cls[64], title[1024];
    (void)unused;
    if (!IsWindowVisible(w)) return TRUE;
    if (!GetClassNameA(w, cls, sizeof cls)) return TRUE;
    if (!strcmp(cls, "#32770")) {
        if (!already_handled(w) && handledcount < MAXBOXES) {
            /* Give the box a moment to finish its dialog initialisation. */
            Sleep(150);
            handled[handledcount++] = w;
            handle_box(w);
        }
        return TRUE;
    }
    if (watchtitle && !titleseen) {
        GetWindowTextA(w, title, sizeof title);
        if (!strcmp(title, watchtitle)) {
            titleseen = 1;
            handle_window(w);
        }
    }
    return TRUE;
}

static void watch_processes(void)
{
    HANDLE snap;
    PROCESSENTRY32 pe;
    int i;
    if (!watchimage) return;
    snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap != INVALID_HANDLE_VALUE) {
        pe.dwSize = sizeof pe;
        if (Process32First(snap, &pe)) {
            do {
                int known = 0;
                if (_stricmp(pe.szExeFile, watchimage)) continue;
                for (i = 0; i < proccount; i++)
                    if (procs[i].pid == pe.th32ProcessID && procs[i].handle) known = 1;
                if (known || proccount >= MAXPROCS) continue;
                procs[proccount].pid = pe.th32ProcessID;
                procs[proccount].handle = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION,
                                                      FALSE, pe.th32ProcessID);
                process_path(pe.th32ProcessID, procs[proccount].path, MAX_PATH);
                if (procs[proccount].handle) {
                    proccount++;
                    procsalive++;
                }
            } while (Process32Next(snap, &pe));
        }
        CloseHandle(snap);
    }
    for (i = 0; i < proccount; i++) {
        DWORD code;
        if (!procs[i].handle) continue;
        if (WaitForSingleObject(procs[i].handle, 0) != WAIT_OBJECT_0) continue;
        if (!GetExitCodeProcess(procs[i].handle, &code)) code = 0xFFFFFFFF;
        fputs("PROCESS\t", logfile);
        put_escaped(procs[i].path);
        fprintf(logfile, "\t%lu\n", (unsigned long)code);
        fflush(logfile);
        CloseHandle(procs[i].handle);
        procs[i].handle = NULL;
        procsalive--;
    }
}

static int print_error_text(DWORD code)
{
    char *text = NULL;
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, NULL, code,
                        0x0400, (char *)&text, 0, NULL))
        return 1;
    _setmode(_fileno(stdout), _O_BINARY); /* the text's own CR LF, not CR CR LF */
    fwrite(text, 1, strlen(text), stdout);
    LocalFree(text);
    return 0;
}

int main(int argc, char **argv)
{
    const char *logpath = NULL, *stoppath = NULL;
    char *script = NULL;
    int timeout = 600, i;
    DWORD start;

    for (i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "-l")) logpath = argv[i + 1];
        else if (!strcmp(argv[i], "-a")) script = argv[i + 1];
        else if (!strcmp(argv[i], "-w")) watchtitle = argv[i + 1];
        else if (!strcmp(argv[i], "-p")) watchimage = argv[i + 1];
        else if (!strcmp(argv[i], "-s")) stoppath = argv[i + 1];
        else if (!strcmp(argv[i], "-g")) gatepath = argv[i + 1];
        else if (!strcmp(argv[i], "-t")) timeout = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "-e")) return print_error_text((DWORD)strtoul(argv[i + 1], NULL, 0));
    }
    if (!logpath) {
        fprintf(stderr, "usage: boxbot -l LOG [-a ANSWERS] [-w TITLE] [-p IMAGE] [-s STOP] [-t SEC] [-g GATE]\n");
        return 2;
    }
    logfile = fopen(logpath, "wb");
    if (!logfile) return 2;
    if (script && *script) {
        char *tok = strtok(script, ",");
        while (tok && answercount < 64) {
            answers[answercount++] = tok;
            tok = strtok(NULL, ",");
        }
    }
    fputs("READY\n", logfile);
    fflush(logfile);

    start = GetTickCount();
    for (;;) {
        EnumWindows(visit, 0);
        forget_dead_boxes();
        watch_processes();
        if (stoppath && GetFileAttributesA(stoppath) != INVALID_FILE_ATTRIBUTES) break;
        if (proccount > 0 && procsalive == 0) break;
        if (GetTickCount() - start > (DWORD)timeout * 1000) {
            fputs("TIMEOUT\n", logfile);
            break;
        }
        Sleep(100);
    }
    fputs("END\n", logfile);
    fclose(logfile);
    return 0;
}
