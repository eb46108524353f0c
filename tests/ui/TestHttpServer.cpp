#include "TestHttpServer.h"

#include <ws2tcpip.h>

namespace vantor::test {
namespace {

struct CWinsock {
  CWinsock() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
};

void StartWinsock() { static CWinsock winsock; }

// Waits up to nMs for the socket to become readable.
bool WaitReadable(SOCKET hSocket, int nMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(hSocket, &set);
  timeval tv = {nMs / 1000, (nMs % 1000) * 1000};
  return select(0, &set, nullptr, nullptr, &tv) == 1;
}

}  // namespace

CTestHttpServer CTestHttpServer::Answering(std::string strBody, std::string strStatus, std::string strContentType) {
  std::string strReply = "HTTP/1.1 " + strStatus + "\r\nContent-Type: " + strContentType +
                         "\r\nContent-Length: " + std::to_string(strBody.size()) + "\r\nConnection: close\r\n\r\n" +
                         strBody;
  return CTestHttpServer(true, std::move(strReply));
}

CTestHttpServer CTestHttpServer::Silent() { return CTestHttpServer(false, std::string()); }

CTestHttpServer::CTestHttpServer(bool bAnswer, std::string strReply)
    : m_bAnswer(bAnswer), m_strReply(std::move(strReply)) {
  StartWinsock();
  m_hListen = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  bind(m_hListen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
  listen(m_hListen, 8);
  int nLength = sizeof(addr);
  getsockname(m_hListen, reinterpret_cast<sockaddr*>(&addr), &nLength);
  m_nPort = ntohs(addr.sin_port);
  m_thread = std::thread([this] { Serve(); });
}

CTestHttpServer::~CTestHttpServer() {
  m_bStop = true;
  m_thread.join();
  for (SOCKET hSocket : m_held) closesocket(hSocket);
  closesocket(m_hListen);
}

std::wstring CTestHttpServer::Url(const wchar_t* pszPath) const {
  return L"http://127.0.0.1:" + std::to_wstring(m_nPort) + pszPath;
}

std::vector<std::string> CTestHttpServer::Requests() {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_requests;
}

int CTestHttpServer::RefusingPort() {
  StartWinsock();
  SOCKET hSocket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(hSocket, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
  int nLength = sizeof(addr);
  getsockname(hSocket, reinterpret_cast<sockaddr*>(&addr), &nLength);
  closesocket(hSocket);  // bound, never listened: the port is free and refuses
  return ntohs(addr.sin_port);
}

void CTestHttpServer::Serve() {
  while (!m_bStop) {
    if (!WaitReadable(m_hListen, 50)) continue;
    SOCKET hClient = accept(m_hListen, nullptr, nullptr);
    if (hClient == INVALID_SOCKET) continue;
    // The request head, up to its blank line.
    std::string strHead;
    char buffer[1024];
    while (strHead.find("\r\n\r\n") == std::string::npos && !m_bStop) {
      if (!WaitReadable(hClient, 50)) continue;
      const int n = recv(hClient, buffer, sizeof(buffer), 0);
      if (n <= 0) break;
      strHead.append(buffer, n);
    }
    {
      std::lock_guard<std::mutex> lock(m_lock);
      m_requests.push_back(strHead);
    }
    if (!m_bAnswer) {
      m_held.push_back(hClient);
      continue;
    }
    send(hClient, m_strReply.data(), static_cast<int>(m_strReply.size()), 0);
    shutdown(hClient, SD_SEND);
    // Let the client read everything before the socket goes.
    while (WaitReadable(hClient, 2000) && recv(hClient, buffer, sizeof(buffer), 0) > 0) {
    }
    closesocket(hClient);
  }
}

}  // namespace vantor::test
