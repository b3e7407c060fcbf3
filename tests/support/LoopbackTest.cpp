#include "TestSupport.h"
#include "support/Loopback.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace tarn;

// A server may listen on either loopback address (Vite on ::1 only, Node on 127.0.0.1 only).
TEST(Loopback, APortAnswersOnEitherLoopbackAddressAndOnlyWhileListening) {
    for (int family : {AF_INET, AF_INET6}) {
        const int port = test::freeLocalPort();
        EXPECT_FALSE(loopback::portAnswers(port));
        const int fd = ::socket(family, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        int only = 1;
        if (family == AF_INET6) ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &only, sizeof only);
        sockaddr_storage address{};
        socklen_t length = 0;
        if (family == AF_INET) {
            auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
            v4->sin_family = AF_INET;
            v4->sin_port = htons(static_cast<uint16_t>(port));
            v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            length = sizeof *v4;
        } else {
            auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
            v6->sin6_family = AF_INET6;
            v6->sin6_port = htons(static_cast<uint16_t>(port));
            v6->sin6_addr = in6addr_loopback;
            length = sizeof *v6;
        }
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), length), 0);
        ASSERT_EQ(::listen(fd, 4), 0);
        EXPECT_TRUE(loopback::portAnswers(port)) << (family == AF_INET ? "127.0.0.1" : "::1");
        ::close(fd);
        EXPECT_FALSE(loopback::portAnswers(port));
    }
    EXPECT_FALSE(loopback::portAnswers(0));
    EXPECT_FALSE(loopback::portAnswers(70000));
}
