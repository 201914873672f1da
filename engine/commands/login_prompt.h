// How the login command asks the user for credentials: by default with the
// login dialogs (ui/login_dialogs.h) on the registered front end; a test or
// another caller may put its own prompt in their place.
#pragma once

#include <functional>
#include <string>

struct LoginPromptRequest {
  bool corporate = false;    // false: the default server's dialog
  std::string serverUrl;     // the server of the conversation
  std::string caption;       // the server's caption (corporate dialog)
  std::string host;          // host name of serverUrl; empty when it does not parse
  bool dontSave = false;     // the server asks for its login every time
  int countdownSeconds = 0;  // 60 for the default server, 30 for a corporate one
  std::string titleSuffix;   // shown after the dialog's own title and ": "
};

struct LoginPromptAnswer {
  bool confirmed = false;
  std::string login;     // as typed, Windows-1252
  std::string password;  // as typed, Windows-1252
  bool remember = false;
  bool timedOut = false;  // not confirmed because the countdown ran out
};

using LoginPrompt = std::function<LoginPromptAnswer(const LoginPromptRequest&)>;

// Replaces the prompt for the whole process; an empty one restores the
// default (the login dialogs). Call outside a HotSync.
void SetLoginPrompt(LoginPrompt prompt);

// The host part of an absolute URL ("http://host:8080/x" -> "host"); empty
// when the text is not one.
std::string HostOfUrl(const std::string& url);
