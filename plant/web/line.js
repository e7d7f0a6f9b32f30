// 라인 현황: the stations' rows from /api/line. Whatever a station wrote goes in as text, never
// as markup.
"use strict";

function cell(row, text, className) {
  const td = row.insertCell();
  td.textContent = text;
  if (className) td.className = className;
  return td;
}

// A marked text in its cell, or "-" without one.
function badge(row, text, className, title) {
  const td = row.insertCell();
  if (!text) {
    td.textContent = "-";
    return;
  }
  const mark = document.createElement("span");
  mark.className = className;
  mark.textContent = text;
  if (title) mark.title = title;
  td.append(mark);
}

function verdictClass(verdict) {
  return verdict === "O.K" ? "ok" : verdict === "N.G" ? "ng" : "";
}

function show(stations) {
  const body = document.getElementById("stations");
  body.replaceChildren();
  for (const s of stations) {
    const row = body.insertRow();
    cell(row, s.station);
    cell(row, s.last_seen);
    cell(row, s.master);
    cell(row, s.serial);
    cell(row, s.verdict, verdictClass(s.verdict));
    cell(row, s.verdict_at);
    cell(row, s.shift_from.slice(11, 16) + "–" + s.shift_to.slice(11, 16));
    cell(row, String(s.tested), "number");
    cell(row, s.yield, "number");
    cell(row, s.first_pass, "number");
    badge(row, s.line_stop && "정지 (" + s.line_stop.code + ")", "stop",
          s.line_stop && s.line_stop.rule);
    badge(row, s.wave_alarm && "파형 경고", "alarm");
  }
  document.getElementById("state").textContent =
    stations.length === 0 ? "기록을 보낸 스테이션이 없습니다." : "";
}

async function refresh() {
  const answer = await fetch("/api/line", { credentials: "same-origin" });
  if (answer.status === 401) {
    window.location.href = "/login";
    return;
  }
  if (!answer.ok) {
    document.getElementById("state").textContent = "서버에서 읽을 수 없습니다.";
    return;
  }
  show((await answer.json()).stations);
}

refresh();

// Each record a station sends is told here as it arrives; the browser opens the stream again
// when it breaks.
new EventSource("/api/events").addEventListener("record", refresh);
