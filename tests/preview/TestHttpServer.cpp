#include "TestHttpServer.h"

#include <gio/gio.h>
#include <stdexcept>

namespace tarn::test {

namespace {

gboolean handle(GThreadedSocketService*, GSocketConnection* connection, GObject*, gpointer data) {
    auto* server = static_cast<TestHttpServer*>(data);
    GInputStream* in = g_io_stream_get_input_stream(G_IO_STREAM(connection));
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        gssize n = g_input_stream_read(in, buffer, sizeof buffer, nullptr, nullptr);
        if (n <= 0) break;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    std::string response = server->respond(request.substr(0, request.find("\r\n")));
    GOutputStream* out = g_io_stream_get_output_stream(G_IO_STREAM(connection));
    g_output_stream_write_all(out, response.data(), response.size(), nullptr, nullptr, nullptr);
    g_io_stream_close(G_IO_STREAM(connection), nullptr, nullptr);
    return TRUE;
}

}  // namespace

TestHttpServer::TestHttpServer() {
    service_ = g_threaded_socket_service_new(4);
    GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
    GSocketAddress* address = g_inet_socket_address_new(loopback, 0);
    GSocketAddress* bound = nullptr;
    if (!g_socket_listener_add_address(G_SOCKET_LISTENER(service_), address, G_SOCKET_TYPE_STREAM,
                                       G_SOCKET_PROTOCOL_TCP, nullptr, &bound, nullptr)) {
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port_ = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound));
    g_object_unref(bound);
    g_object_unref(address);
    g_object_unref(loopback);
    g_signal_connect(service_, "run", G_CALLBACK(handle), this);
    g_socket_service_start(service_);
}

TestHttpServer::~TestHttpServer() {
    g_socket_service_stop(service_);
    g_socket_listener_close(G_SOCKET_LISTENER(service_));
    g_object_unref(service_);
}

void TestHttpServer::serve(const std::string& path, const std::string& html) {
    std::lock_guard lock(mutex_);
    pages_[path] = html;
}

std::string TestHttpServer::url(const std::string& pathAndQuery) const {
    return "http://127.0.0.1:" + std::to_string(port_) + pathAndQuery;
}

int TestHttpServer::requests(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto it = counts_.find(path);
    return it == counts_.end() ? 0 : it->second;
}

std::string TestHttpServer::respond(const std::string& requestLine) {
    // "GET /path?query HTTP/1.1"
    auto first = requestLine.find(' ');
    auto second = requestLine.find(' ', first + 1);
    std::string target = first == std::string::npos ? "/" : requestLine.substr(first + 1, second - first - 1);
    std::string path = target.substr(0, target.find('?'));
    std::lock_guard lock(mutex_);
    ++counts_[path];
    auto page = pages_.find(path);
    // Unknown paths get an empty page, so in-page navigations to them still load cleanly.
    std::string body = page == pages_.end() ? "<!doctype html><title>empty</title>" : page->second;
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

}  // namespace tarn::test
