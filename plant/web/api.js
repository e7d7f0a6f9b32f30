// What every page does with its API's answer: a session that ended goes to the login, a failure
// is said in the page's "state" line.
"use strict";

async function readApi(url) {
  const answer = await fetch(url, { credentials: "same-origin" });
  if (answer.status === 401) {
    window.location.href = "/login";
    return null;
  }
  if (!answer.ok) {
    document.getElementById("state").textContent = "서버에서 읽을 수 없습니다.";
    return null;
  }
  return answer.json();
}
