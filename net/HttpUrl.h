// Address and header helpers of the HTTP client.
#pragma once

#include "foundation/core/DateTimeUtils.h"

#include <string>

struct TUrlParts {
    std::string Proto, User, Pass, Host, Port, Path;
};

// Splits an address into scheme, credentials, host, port and path. An empty address changes
// nothing; "./x" and "../x" change only the path, relative to the incoming one. The scheme is
// returned in lower case.
void ParseURL(const std::string& url, TUrlParts& parts);

// Standard Base64 with "=" padding.
std::string EncodeBase64(const std::string& data);
// "Tue, 05 Mar 2024 07:08:09" (the caller appends " GMT").
std::string RFC1123DateStr(TDateTime value);
// 1-based position of the n-th occurrence of sub in text, counted from the end when n is
// negative (-1 = last); 0 when absent.
int PosNth(const std::string& sub, const std::string& text, int n);

std::string LowerCase(std::string s);
