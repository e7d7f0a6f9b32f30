// 변경 기록: a station's audit rows newest first, a page at a time, from /api/trail, with whether
// its chain on the server holds; for an administrator the plant users' own trail too. The choices
// (station, from, to, page) live in the address, so the link can be sent. Whatever a station or a
// user wrote goes in as text, never as markup.
"use strict";

const STATES = { holds: "체인 정상", broken: "체인 깨짐", unreadable: "확인할 수 없음" };
const choice = new URLSearchParams(window.location.search);

function cell(row, text) {
  row.insertCell().textContent = text === "" ? "-" : String(text);
}

// A time as the station wrote it: "2026-12-11 11:50:05".
function when(iso) {
  return iso ? iso.slice(0, 10) + " " + iso.slice(11, 19) : "-";
}

// The verdict on a chain: its state in words, the server's reason, the row to blame marked.
function showCheck(id, check) {
  const line = document.getElementById(id);
  line.replaceChildren();
  if (!check) return;
  const mark = document.createElement("span");
  mark.className = check.state === "holds" ? "ok" : "ng";
  mark.textContent = STATES[check.state] || check.state;
  line.append(mark, " " + check.text);
}

function fillRows(bodyId, rows, columns, brokenSeq) {
  const body = document.getElementById(bodyId);
  body.replaceChildren();
  for (const r of rows) {
    const row = body.insertRow();
    if (r.seq === brokenSeq) row.className = "broken";
    for (const column of columns) cell(row, column === "at" ? when(r.at) : r[column]);
  }
}

function showStations(stations, chosen) {
  const select = document.getElementById("station");
  select.replaceChildren();
  for (const name of stations) {
    const option = document.createElement("option");
    option.value = name;
    option.textContent = name;
    option.selected = name === chosen;
    select.append(option);
  }
}

function showPages(answer) {
  const pages = Math.max(1, Math.ceil(answer.total / answer.page_rows));
  document.getElementById("page").textContent =
    answer.page + " / " + pages + " 쪽 (" + answer.total + " 건)";
  document.getElementById("newer").disabled = answer.page <= 1;
  document.getElementById("older").disabled = answer.page >= pages;
}

function show(answer) {
  showStations(answer.stations, answer.station);
  showCheck("check", answer.check);
  const brokenSeq = answer.check ? answer.check.broken_seq : 0;
  fillRows("rows", answer.rows, ["seq", "at", "user", "role", "action", "object", "before",
                                 "after", "code"], brokenSeq);
  showPages(answer);
  document.getElementById("state").textContent =
    answer.stations.length === 0 ? "변경 기록을 보낸 스테이션이 없습니다." : "";
  const csv = document.getElementById("csv");
  csv.href = "/api/trail.csv?" + query(false);
  csv.hidden = answer.station === "";
  if (answer.plant) {
    document.getElementById("plant").hidden = false;
    showCheck("plant-check", answer.plant.check);
    fillRows("plant-rows", answer.plant.rows, ["seq", "at", "user", "action", "object", "before",
                                               "after"], answer.plant.check.broken_seq);
  }
}

// The choices as a query string, the page with them unless `paged` is false.
function query(paged) {
  const kept = new URLSearchParams();
  for (const name of ["station", "from", "to"].concat(paged ? ["page"] : [])) {
    if (choice.get(name)) kept.set(name, choice.get(name));
  }
  return kept.toString();
}

async function load() {
  history.replaceState(null, "", "/trail" + (query(true) ? "?" + query(true) : ""));
  const answer = await readApi("/api/trail?" + query(true));
  if (answer) show(answer);
}

function turn(by) {
  choice.set("page", String(Math.max(1, Number(choice.get("page") || 1) + by)));
  load();
}

document.getElementById("from").value = choice.get("from") || "";
document.getElementById("to").value = choice.get("to") || "";
document.getElementById("choice").addEventListener("submit", (event) => {
  event.preventDefault();
  for (const name of ["station", "from", "to"]) choice.set(name, document.getElementById(name).value);
  choice.delete("page");
  load();
});
document.getElementById("newer").addEventListener("click", () => turn(-1));
document.getElementById("older").addEventListener("click", () => turn(1));
load();
