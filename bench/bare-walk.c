/* The floor a walker can reach: walks a tree with two threads and nothing but the system calls
   every walker needs, and prints the apparent bytes of what is not a folder.

       bare-walk ROOT

   Each folder is listed with getdents64 and each entry looked at with fstatat, links not
   followed; a subfolder on the root's device is opened with one openat relative to its parent,
   whose descriptor stays open until its last subfolder is opened. No records are kept, no hard
   link counted once, no error said beyond a count: what quarnel-scan spends beyond this is the
   price of what it keeps and checks. walkers.py compiles it on each run, as run-measured.c. */

#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#define THREADS 2
#define BUFFER (64 * 1024)

struct parent {
    int fd;
    int pending; /* subfolders not yet opened; guarded by the queue's lock */
};

struct task {
    struct parent *parent;
    char *name;
};

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t changed = PTHREAD_COND_INITIALIZER;
static struct task *stack;
static size_t count, capacity;
static int active;
static dev_t device;
static unsigned long long total, failures;

/* Doubles an array that is full; a walk out of memory has no figure to give. */
static void *grow(void *items, size_t *room, size_t size, size_t first)
{
    *room = *room ? 2 * *room : first;
    items = realloc(items, *room * size);
    if (!items) {
        perror("bare-walk");
        exit(2);
    }
    return items;
}

static void push(struct parent *parent, char *name)
{
    if (count == capacity)
        stack = grow(stack, &capacity, sizeof *stack, 1024);
    stack[count].parent = parent;
    stack[count].name = name;
    ++count;
}

static void release(struct parent *parent)
{
    pthread_mutex_lock(&lock);
    const int last = --parent->pending == 0;
    pthread_mutex_unlock(&lock);
    if (last) {
        close(parent->fd);
        free(parent);
    }
}

static void list(int fd, char *buffer, unsigned long long *bytes, unsigned long long *failed)
{
    static __thread char **names;
    static __thread size_t room;
    size_t found = 0;
    for (;;) {
        const long got = syscall(SYS_getdents64, fd, buffer, BUFFER);
        if (got <= 0) {
            *failed += got < 0;
            break;
        }
        for (long at = 0; at < got;) {
            const struct dirent64 *d = (const struct dirent64 *)(buffer + at);
            at += d->d_reclen;
            const char *n = d->d_name;
            if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
                continue;
            struct stat st;
            if (fstatat(fd, n, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0) {
                ++*failed;
                continue;
            }
            if (!S_ISDIR(st.st_mode)) {
                *bytes += (unsigned long long)st.st_size;
                continue;
            }
            if (st.st_dev != device)
                continue;
            if (found == room)
                names = grow(names, &room, sizeof *names, 256);
            names[found++] = strdup(n);
        }
    }
    if (found == 0) {
        close(fd);
        return;
    }
    struct parent *self = malloc(sizeof *self);
    self->fd = fd;
    self->pending = (int)found;
    pthread_mutex_lock(&lock);
    while (found > 0)
        push(self, names[--found]);
    pthread_cond_broadcast(&changed);
    pthread_mutex_unlock(&lock);
}

static void *walk(void *unused)
{
    (void)unused;
    char *buffer = malloc(BUFFER);
    unsigned long long bytes = 0, failed = 0;
    for (;;) {
        pthread_mutex_lock(&lock);
        while (count == 0 && active > 0)
            pthread_cond_wait(&changed, &lock);
        if (count == 0) {
            pthread_cond_broadcast(&changed);
            pthread_mutex_unlock(&lock);
            break;
        }
        const struct task task = stack[--count];
        ++active;
        pthread_mutex_unlock(&lock);

        const int fd =
            openat(task.parent->fd, task.name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        free(task.name);
        release(task.parent);
        if (fd >= 0)
            list(fd, buffer, &bytes, &failed);
        else
            ++failed;

        pthread_mutex_lock(&lock);
        if (--active == 0 && count == 0)
            pthread_cond_broadcast(&changed);
        pthread_mutex_unlock(&lock);
    }
    free(buffer);
    pthread_mutex_lock(&lock);
    total += bytes;
    failures += failed;
    pthread_mutex_unlock(&lock);
    return NULL;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s ROOT\n", argv[0]);
        return 2;
    }
    /* Pending folders hold their parents open. */
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    struct stat st;
    const int root = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0 || fstat(root, &st) != 0) {
        perror(argv[1]);
        return 2;
    }
    device = st.st_dev;
    /* The root is listed as its own parent's only subfolder. */
    struct parent *top = malloc(sizeof *top);
    top->fd = open(argv[1], O_PATH | O_DIRECTORY | O_CLOEXEC);
    top->pending = 1;
    push(top, strdup("."));
    close(root);

    pthread_t threads[THREADS];
    for (int i = 0; i < THREADS; ++i)
        pthread_create(&threads[i], NULL, walk, NULL);
    for (int i = 0; i < THREADS; ++i)
        pthread_join(threads[i], NULL);
    printf("%llu\n", total);
    if (failures)
        fprintf(stderr, "bare-walk: %llu entries could not be read\n", failures);
    return failures ? 1 : 0;
}
