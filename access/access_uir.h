// The login panel's resource id and control ids in "surge.uir".
#pragma once

constexpr int LOGIN = 11;

constexpr int LOGIN_NAME = 1;      // text: the user's name or a scanned badge code
constexpr int LOGIN_PASSWORD = 2;  // text, masked
constexpr int LOGIN_OK = 3;        // Login_ok; Enter in either field gives it
constexpr int LOGIN_MESSAGE = 4;   // why the last login was refused
constexpr int LOGIN_QUIT = 5;      // Quit
