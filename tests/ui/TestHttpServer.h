// A tiny HTTP server on 127.0.0.1 for the update check's tests: it answers every
// request with one canned reply, or takes requests and never answers. It runs on a
// thread of its own and keeps the request heads it received.
#pragma once
#include <winsock2.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vantor::test {

class CTestHttpServer {
 public:
  // Answers every request with status line "HTTP/1.1 " + strStatus, the body, and closes.
  static CTestHttpServer Answering(std::string strBody, std::string strStatus = "200 OK",
                                   std::string strContentType = "text/plain");
  // Accepts connections and reads the requests, but never sends a byte back.
  static CTestHttpServer Silent();

  CTestHttpServer(CTestHttpServer&& other) = delete;
  ~CTestHttpServer();

  int Port() const { return m_nPort; }
  std::wstring Url(const wchar_t* pszPath = L"/version/version.t") const;
  // The request heads received so far (request line and headers).
  std::vector<std::string> Requests();

  // A port on 127.0.0.1 that nothing listens on: connections to it are refused.
  static int RefusingPort();

 private:
  CTestHttpServer(bool bAnswer, std::string strReply);
  void Serve();

  bool m_bAnswer;
  std::string m_strReply;
  SOCKET m_hListen = INVALID_SOCKET;
  int m_nPort = 0;
  std::atomic<bool> m_bStop{false};
  std::mutex m_lock;
  std::vector<std::string> m_requests;
  std::vector<SOCKET> m_held;  // connections a silent server keeps open
  std::thread m_thread;
};

}  // namespace vantor::test
