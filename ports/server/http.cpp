#include "ports/server/http.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "ports/server/limits.h"

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

bool iequals(beast::string_view a, beast::string_view b) { return beast::iequals(a, b); }

class Session : public std::enable_shared_from_this<Session> {
public:
    Session(tcp::socket socket, Hall* hall, std::shared_ptr<std::atomic<int>> open)
        : stream_(std::move(socket)), hall_(hall), open_(std::move(open)) {
        beast::error_code ec;
        const tcp::endpoint peer = stream_.socket().remote_endpoint(ec);
        if (!ec) address_ = peer.address().to_string();
    }
    ~Session() { --*open_; }

    void start() {
        net::dispatch(stream_.get_executor(), beast::bind_front_handler(&Session::read, shared_from_this()));
    }

private:
    void read() {
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(MAX_HEADER_BYTES));
        parser_->body_limit(MAX_BODY_BYTES);
        stream_.expires_after(std::chrono::seconds(REQUEST_SECONDS));
        http::async_read_header(stream_, buffer_, *parser_,
                                beast::bind_front_handler(&Session::on_header, shared_from_this()));
    }

    // A client that waits for "100 Continue" before it sends its body (curl
    // does, for bodies over a kilobyte) is told to go on.
    void on_header(beast::error_code ec, std::size_t) {
        if (ec) return failed(ec);
        if (!iequals(parser_->get()[http::field::expect], "100-continue")) return read_body();
        auto go_on = std::make_shared<http::response<http::empty_body>>(http::status::continue_, 11);
        http::async_write(stream_, *go_on, [self = shared_from_this(), go_on](beast::error_code e, std::size_t) {
            if (e) return self->close();
            self->read_body();
        });
    }

    void read_body() {
        http::async_read(stream_, buffer_, *parser_, beast::bind_front_handler(&Session::on_body, shared_from_this()));
    }

    void on_body(beast::error_code ec, std::size_t) {
        if (ec) return failed(ec);
        const auto& req = parser_->get();
        HallRequest request;
        request.method = std::string(req.method_string());
        request.target = std::string(req.target());
        request.body = req.body();
        request.content_encoded = req.find(http::field::content_encoding) != req.end();
        request.address = address_;
        reply(hall_->handle(request), req.keep_alive());
    }

    // A request that broke a limit or the protocol gets its answer and the
    // connection closes; one that stopped coming is simply closed.
    void failed(beast::error_code ec) {
        if (ec == http::error::body_limit)
            return reply(json_error(413, "the body is larger than " + std::to_string(MAX_BODY_BYTES) + " bytes"), false);
        if (ec == http::error::header_limit)
            return reply(json_error(431, "the headers are larger than " + std::to_string(MAX_HEADER_BYTES) + " bytes"),
                         false);
        if (ec == http::error::end_of_stream || ec == beast::error::timeout || ec == net::error::operation_aborted ||
            ec == net::error::connection_reset || ec == http::error::partial_message || ec == net::error::eof)
            return close();
        if (ec.category() == http::make_error_code(http::error::bad_target).category())
            return reply(json_error(400, "not an HTTP/1.1 request (" + ec.message() + ")"), false);
        close();
    }

    void reply(const HallResponse& answer, bool keep_alive) {
        auto res = std::make_shared<http::response<http::string_body>>(static_cast<http::status>(answer.status), 11);
        res->set(http::field::content_type, answer.content_type);
        res->set(http::field::cache_control, "no-store");
        if (!hall_->instance().empty()) res->set("X-Served-By", hall_->instance());
        if (!answer.allow.empty()) res->set(http::field::allow, answer.allow);
        if (!answer.location.empty()) res->set(http::field::location, answer.location);
        res->body() = answer.body;
        res->keep_alive(keep_alive);
        res->prepare_payload();
        if (answer.status >= 500)
            std::fprintf(stderr, "burrowrotor-server: answered %d: %s\n", answer.status, answer.body.c_str());
        stream_.expires_after(std::chrono::seconds(REQUEST_SECONDS));
        http::async_write(stream_, *res, [self = shared_from_this(), res, keep_alive](beast::error_code ec, std::size_t) {
            if (ec) return self->close();
            if (!keep_alive) return self->drain();
            self->read();
        });
    }

    void close() {
        beast::error_code ec;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ec);
    }

    // After the last answer: says so, then reads and drops what the client
    // still sends (the rest of a body too large to take) for a moment, so
    // that closing does not reset the connection before the client has read
    // the answer.
    void drain() {
        beast::error_code ec;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
        drain_some(0);
    }
    void drain_some(std::size_t dropped) {
        if (dropped > 4 * MAX_BODY_BYTES) return close();
        stream_.expires_after(std::chrono::seconds(DRAIN_SECONDS));
        buffer_.consume(buffer_.size());
        stream_.async_read_some(buffer_.prepare(16384), [self = shared_from_this(), dropped](beast::error_code ec,
                                                                                              std::size_t n) {
            if (ec) return self->close();
            self->drain_some(dropped + n);
        });
    }

    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    Hall* hall_;
    std::shared_ptr<std::atomic<int>> open_;  // the listener's count, which may go first at shutdown
    std::string address_;
};

class Listener : public std::enable_shared_from_this<Listener> {
public:
    Listener(net::io_context& ioc, Hall* hall) : ioc_(ioc), acceptor_(net::make_strand(ioc)), hall_(hall) {}

    bool listen(const tcp::endpoint& endpoint, std::string* error) {
        beast::error_code ec;
        acceptor_.open(endpoint.protocol(), ec);
        if (!ec) acceptor_.set_option(net::socket_base::reuse_address(true), ec);
        if (!ec) acceptor_.bind(endpoint, ec);
        if (!ec) acceptor_.listen(net::socket_base::max_listen_connections, ec);
        if (ec) *error = "cannot listen on " + endpoint.address().to_string() + ":" + std::to_string(endpoint.port()) +
                         ": " + ec.message();
        return !ec;
    }
    unsigned short port() const { return acceptor_.local_endpoint().port(); }

    void accept() {
        acceptor_.async_accept(net::make_strand(ioc_), beast::bind_front_handler(&Listener::on_accept, shared_from_this()));
    }

private:
    void on_accept(beast::error_code ec, tcp::socket socket) {
        if (ec == net::error::operation_aborted) return;
        if (!ec) {
            if (open_->load() >= MAX_CONNECTIONS) {
                socket.close(ec);  // full: the client may try again
            } else {
                ++*open_;
                std::make_shared<Session>(std::move(socket), hall_, open_)->start();
            }
        }
        accept();
    }

    net::io_context& ioc_;
    tcp::acceptor acceptor_;
    Hall* hall_;
    std::shared_ptr<std::atomic<int>> open_ = std::make_shared<std::atomic<int>>(0);
};

}  // namespace

bool serve_http(const std::string& address, unsigned short port, Hall* hall,
                const std::function<void(unsigned short)>& ready, std::string* error) {
    beast::error_code ec;
    const net::ip::address ip = net::ip::make_address(address, ec);
    if (ec) {
        *error = "'" + address + "' is not a numeric IP address";
        return false;
    }
    net::io_context ioc{HTTP_THREADS};
    auto listener = std::make_shared<Listener>(ioc, hall);
    if (!listener->listen(tcp::endpoint(ip, port), error)) return false;
    listener->accept();
    ready(listener->port());
    net::signal_set signals(ioc, SIGINT, SIGTERM);
    signals.async_wait([&](beast::error_code, int) { ioc.stop(); });
    std::vector<std::thread> threads;
    for (int i = 1; i < HTTP_THREADS; ++i) threads.emplace_back([&ioc] { ioc.run(); });
    ioc.run();
    for (std::thread& t : threads) t.join();
    return true;
}
