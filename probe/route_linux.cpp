// Linux next hop: the kernel's own route lookup for the destination, asked over
// a netlink route socket as `ip route get` asks it.
#include "route_platform.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>

#include "icmp_platform.h"
#include "owned.h"

namespace vellomar::probe {

namespace {

// The kernel answers while the request is being sent; the limit only keeps a
// lost answer from holding up the caller.
constexpr timeval kAnswerTimeLimit {1, 0};

struct RouteRequest {
    nlmsghdr header;
    rtmsg route;
    rtattr destinationAttribute;
    uint32_t destination;
};
static_assert(sizeof(RouteRequest) == NLMSG_LENGTH(sizeof(rtmsg)) + RTA_LENGTH(sizeof(uint32_t)));

RouteRequest RequestFor(uint32_t destination, uint32_t sequence)
{
    RouteRequest request {};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETROUTE;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.header.nlmsg_seq = sequence;
    request.route.rtm_family = AF_INET;
    request.route.rtm_dst_len = 32;
    request.destinationAttribute.rta_len = RTA_LENGTH(sizeof destination);
    request.destinationAttribute.rta_type = RTA_DST;
    request.destination = destination;
    return request;
}

// A fresh number for every request, so that an answer is matched to its own.
uint32_t NextSequence()
{
    static std::atomic<uint32_t> last {0};
    return ++last;
}

// How the kernel refuses a destination that no usable route leads to: none at
// all or a thrown one (ENETUNREACH), an unreachable route (EHOSTUNREACH), a
// prohibited one (EACCES), a black hole (EINVAL).
bool MeansNoUsableRoute(int error)
{
    return error == ENETUNREACH || error == EHOSTUNREACH || error == EACCES || error == EINVAL;
}

platform::Outcome<uint32_t> RefusalIn(nlmsghdr& message)
{
    if (message.nlmsg_len < NLMSG_LENGTH(sizeof(nlmsgerr)))
        return platform::Failure {"find the next hop: the kernel's answer is cut short"};
    const int error = -static_cast<const nlmsgerr*>(NLMSG_DATA(&message))->error;
    if (MeansNoUsableRoute(error))
        return kAddressAny;
    errno = error;
    return platform::SystemFailure("find the next hop");
}

// The gateway of the route the kernel chose; none for a route that delivers
// here or to the local link. A route that refuses or drops packets (unreachable,
// prohibited, black hole) comes back as a refusal, and holds no gateway where a
// kernel answers with the route itself.
platform::Outcome<uint32_t> GatewayIn(nlmsghdr& message)
{
    if (message.nlmsg_len < NLMSG_LENGTH(sizeof(rtmsg)))
        return platform::Failure {"find the next hop: the kernel's answer is cut short"};
    auto* route = static_cast<rtmsg*>(NLMSG_DATA(&message));
    int length = static_cast<int>(RTM_PAYLOAD(&message));
    for (rtattr* attribute = RTM_RTA(route); RTA_OK(attribute, length); attribute = RTA_NEXT(attribute, length)) {
        uint32_t gateway;
        if (attribute->rta_type == RTA_GATEWAY && RTA_PAYLOAD(attribute) == sizeof gateway) {
            std::memcpy(&gateway, RTA_DATA(attribute), sizeof gateway);
            return gateway;
        }
    }
    return kAddressAny;
}

// Reads until the kernel's answer to the request numbered sequence comes.
platform::Outcome<uint32_t> AwaitAnswer(int fd, uint32_t sequence)
{
    alignas(nlmsghdr) std::array<char, 8192> buffer;
    for (;;) {
        sockaddr_nl from {};
        socklen_t fromSize = sizeof from;
        const ssize_t size =
            ::recvfrom(fd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (size < 0 && errno == EINTR)
            continue;
        if (size < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return platform::Failure {"find the next hop: the kernel gave no answer within a second"};
        if (size < 0)
            return platform::SystemFailure("find the next hop");
        if (from.nl_pid != 0)
            continue;  // not from the kernel
        // Walked as NLMSG_OK and NLMSG_NEXT walk it, in unsigned sizes throughout.
        const auto received = static_cast<std::size_t>(size);
        for (std::size_t offset = 0; offset + sizeof(nlmsghdr) <= received;) {
            auto* message = reinterpret_cast<nlmsghdr*>(buffer.data() + offset);
            if (message->nlmsg_len < sizeof(nlmsghdr) || message->nlmsg_len > received - offset)
                break;
            const bool ours = message->nlmsg_seq == sequence;
            if (ours && message->nlmsg_type == NLMSG_ERROR)
                return RefusalIn(*message);
            if (ours && message->nlmsg_type == RTM_NEWROUTE)
                return GatewayIn(*message);
            offset += NLMSG_ALIGN(message->nlmsg_len);
        }
    }
}

}  // namespace

platform::Outcome<uint32_t> GatewayToward(uint32_t destination)
{
    const platform::OwnedDescriptor routes(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!routes.IsOpen())
        return platform::SystemFailure("find the next hop: open a netlink route socket");
    if (::setsockopt(routes.Get(), SOL_SOCKET, SO_RCVTIMEO, &kAnswerTimeLimit, sizeof kAnswerTimeLimit) != 0)
        return platform::SystemFailure("find the next hop: limit the wait for the kernel");
    const uint32_t sequence = NextSequence();
    const RouteRequest request = RequestFor(destination, sequence);
    const sockaddr_nl kernel {AF_NETLINK, 0, 0, 0};
    if (::sendto(routes.Get(), &request, sizeof request, 0, reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel) <
        0)
        return platform::SystemFailure("find the next hop: ask the kernel");
    return AwaitAnswer(routes.Get(), sequence);
}

}  // namespace vellomar::probe
