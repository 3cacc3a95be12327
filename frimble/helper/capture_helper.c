/*
 * capture-helper: the one privileged part of the packet driver library.
 *
 * Installed owned root:quarn-capture, mode 0750, with the file capability
 * cap_net_raw+ep and nothing more: members of the capture group may run it,
 * nobody else. The library runs it when its caller may not open a packet
 * socket itself.
 *
 *   capture-helper INTERFACE    (standard input: one end of a Unix socket pair)
 *
 * It opens a raw packet socket bound to INTERFACE, drops its capability, hands
 * the socket back over standard input (SCM_RIGHTS) and exits. The socket is
 * bound for no protocol yet, so nothing queues on it until the library has
 * mapped its receive ring and binds it for every protocol (ETH_P_ALL), which
 * needs no privilege.
 *
 * It reads no environment variable and opens no path but /dev/null. Every
 * refusal is one line on standard error, with an exit status of its own:
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

enum {
    kPassed = 0,
    kBadArguments = 2,  /* not exactly one interface name, or not a valid one */
    kNoInterface = 3,   /* no interface of that name in this network namespace */
    kNotUnixSocket = 4, /* standard input is closed or is not a Unix socket */
    kSocketRefused = 5, /* the packet socket cannot be opened (no cap_net_raw) */
    kCannotPass = 6,    /* the socket cannot be handed over */
};

static int Refuse(int status, const char* what, int error)
{
    if (error != 0)
        fprintf(stderr, "capture-helper: %s: %s\n", what, strerror(error));
    else
        fprintf(stderr, "capture-helper: %s\n", what);
    return status;
}

static int IsOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

/* Standard output and error on /dev/null when they came closed, so that no
 * descriptor opened later takes their place. */
static void OpenStandardOutputs(void)
{
    for (int fd = STDOUT_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (IsOpen(fd))
            continue;
        const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
        if (null >= 0 && null != fd) {
            dup2(null, fd);
            close(null);
        }
    }
}

/* An interface name as the kernel takes one: 1 to 15 characters, not "." or
 * "..", without '/', ':' or white space; printable characters only. */
static const char* NameProblem(const char* name)
{
    const size_t length = strlen(name);
    if (length == 0)
        return "empty interface name";
    if (length >= IFNAMSIZ)
        return "interface name too long (at most 15 characters)";
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
        return "not an interface name";
    for (const unsigned char* c = (const unsigned char*)name; *c != '\0'; ++c)
        if (*c <= ' ' || *c == 0x7f || *c == '/' || *c == ':')
            return "not an interface name";
    return NULL;
}

static int IsUnixSocket(int fd)
{
    struct stat info;
    int domain = 0;
    socklen_t size = sizeof domain;
    return fstat(fd, &info) == 0 && S_ISSOCK(info.st_mode) && getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &size) == 0
        && domain == AF_UNIX;
}

static int DropCapabilities(void)
{
    struct __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    struct __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3];
    memset(none, 0, sizeof none);
    return syscall(SYS_capset, &header, none) == 0;
}

static int Pass(int fd)
{
    char byte = 0;
    struct iovec data = {&byte, 1};
    union {
        struct cmsghdr align;
        char bytes[CMSG_SPACE(sizeof(int))];
    } control;
    memset(&control, 0, sizeof control);
    struct msghdr message = {0};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control.bytes;
    message.msg_controllen = sizeof control.bytes;
    struct cmsghdr* rights = CMSG_FIRSTHDR(&message);
    rights->cmsg_level = SOL_SOCKET;
    rights->cmsg_type = SCM_RIGHTS;
    rights->cmsg_len = CMSG_LEN(sizeof(int));
    memcpy(CMSG_DATA(rights), &fd, sizeof fd);
    ssize_t sent;
    do
        sent = sendmsg(STDIN_FILENO, &message, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return sent == 1;
}

int main(int argc, char** argv)
{
    /* Nothing the caller left open beyond the standard three is of use here. */
    close_range(STDERR_FILENO + 1, ~0U, 0);
    const int inputOpen = IsOpen(STDIN_FILENO);
    OpenStandardOutputs();
    if (argc != 2)
        return Refuse(kBadArguments, "usage: capture-helper INTERFACE (standard input: a Unix socket)", 0);
    const char* problem = NameProblem(argv[1]);
    if (problem != NULL)
        return Refuse(kBadArguments, problem, 0);
    if (!inputOpen)
        return Refuse(kNotUnixSocket, "standard input is closed (it must be a Unix socket)", 0);
    if (!IsUnixSocket(STDIN_FILENO))
        return Refuse(kNotUnixSocket, "standard input is not a Unix socket", 0);
    const unsigned index = if_nametoindex(argv[1]);
    if (index == 0)
        return Refuse(kNoInterface, "no such interface", errno == ENODEV ? 0 : errno);

    const int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Refuse(kSocketRefused, "cannot open a packet socket (the helper needs cap_net_raw+ep)", errno);
    /* The right is needed for the socket() call alone. */
    if (!DropCapabilities())
        return Refuse(kSocketRefused, "cannot drop the capability", errno);
    struct sockaddr_ll address;
    memset(&address, 0, sizeof address);
    address.sll_family = AF_PACKET;
    address.sll_ifindex = (int)index;
    if (bind(fd, (struct sockaddr*)&address, sizeof address) != 0)
        return Refuse(kNoInterface, "cannot bind to the interface", errno);
    if (!Pass(fd))
        return Refuse(kCannotPass, "cannot pass the socket", errno);
    return kPassed;
}
