// The plant users, for an administrator: their table from /api/users, and the forms that change
// one through POST /api/users with the session's CSRF token. Names go in as text, never as markup.
"use strict";

const OUTCOMES = {
  done: "적용했습니다.",
  exists: "이미 있는 사용자입니다.",
  "no such user": "없는 사용자입니다.",
  invalid: "입력을 확인하십시오.",
  refused: "관리자만 바꿀 수 있습니다.",
};

function cell(row, text) {
  row.insertCell().textContent = text === "" ? "-" : text;
}

async function loadUsers() {
  const answer = await readApi("/api/users");
  if (!answer) return;
  const body = document.getElementById("users");
  body.replaceChildren();
  for (const user of answer.users) {
    const row = body.insertRow();
    cell(row, user.name);
    cell(row, user.role);
    cell(row, user.locked ? "잠김" : "-");
    cell(row, user.last_login ? user.last_login.slice(0, 10) + " " + user.last_login.slice(11, 19) : "");
  }
}

async function change(form, csrf) {
  const fields = new URLSearchParams(new FormData(form));
  if (!fields.has("action")) fields.set("action", form.dataset.action);
  const answer = await fetch("/api/users", {
    method: "POST",
    credentials: "same-origin",
    headers: { "X-CSRF-Token": csrf },
    body: fields,
  });
  let outcome = "";
  try {
    outcome = (await answer.json()).outcome;
  } catch (e) {
    outcome = "";
  }
  document.getElementById("outcome").textContent = OUTCOMES[outcome] || "서버에서 처리할 수 없습니다.";
  if (outcome === "done") {
    form.reset();
    loadUsers();
  }
}

async function start() {
  const session = await readApi("/api/session");
  if (!session) return;
  for (const form of document.querySelectorAll("form[data-action]")) {
    form.addEventListener("submit", (event) => {
      event.preventDefault();
      change(form, session.csrf);
    });
  }
  loadUsers();
}

start();
