#include "messages/text.h"

size_t BoundedLength(const char *text, size_t capacity)
{
    size_t n = 0;
    while (n < capacity && text[n] != '\0')
        n++;
    return n;
}

bool AppendText(char *dest, size_t capacity, const char *src)
{
    if (capacity == 0)
        return src == nullptr || src[0] == '\0';
    size_t n = BoundedLength(dest, capacity);
    if (n == capacity) // not terminated: treat the last byte as the end
        n = capacity - 1;
    if (src != nullptr)
        for (; *src != '\0'; src++) {
            if (n + 1 >= capacity) {
                dest[n] = '\0';
                return false;
            }
            dest[n++] = *src;
        }
    dest[n] = '\0';
    return true;
}

bool CopyText(char *dest, size_t capacity, const char *src)
{
    if (capacity == 0)
        return src == nullptr || src[0] == '\0';
    dest[0] = '\0';
    return AppendText(dest, capacity, src);
}

static unsigned char FoldCase(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return (unsigned char)(c + 32);
    // Windows-1252: À..Þ map to à..þ, except × (0xD7).
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return (unsigned char)(c + 32);
    return c;
}

bool SameTextNoCase(const char *a, const char *b)
{
    for (;; a++, b++) {
        if (FoldCase((unsigned char)*a) != FoldCase((unsigned char)*b))
            return false;
        if (*a == '\0')
            return true;
    }
}

const char *FileNamePart(const char *path)
{
    const char *name = path;
    for (const char *p = path; *p != '\0'; p++)
        if (*p == ':' || *p == '/' || *p == '\\')
            name = p + 1;
    return name;
}

bool StartsWithNoCase(const char *text, const char *prefix)
{
    for (; *prefix != '\0'; text++, prefix++)
        if (FoldCase((unsigned char)*text) != FoldCase((unsigned char)*prefix))
            return false;
    return true;
}
