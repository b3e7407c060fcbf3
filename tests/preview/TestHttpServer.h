#pragma once
#include <map>
#include <mutex>
#include <string>

typedef struct _GSocketService GSocketService;

namespace tarn::test {

// A small HTTP server on 127.0.0.1 for pages the tests load; it counts the requests per path.
class TestHttpServer {
public:
    TestHttpServer();
    ~TestHttpServer();
    void serve(const std::string& path, const std::string& html);
    std::string url(const std::string& pathAndQuery) const;
    int requests(const std::string& path) const;
    int port() const { return port_; }

    // Used by the connection threads.
    std::string respond(const std::string& requestLine);

private:
    GSocketService* service_ = nullptr;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::map<std::string, std::string> pages_;
    std::map<std::string, int> counts_;
};

}  // namespace tarn::test
