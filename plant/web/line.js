// 라인 현황: the stations' rows from /api/line. Whatever a station wrote goes in as text, never
// as markup.
"use strict";

function cell(row, text, className) {
  const td = row.insertCell();
  td.textContent = text;
  if (className) td.className = className;
  return td;
}

// The serial as a link to its 추적; its text as the station wrote it.
function serialCell(row, serial) {
  const td = row.insertCell();
  if (!serial) return;
  const link = document.createElement("a");
  link.href = "/trace?serial=" + encodeURIComponent(serial);
  link.textContent = serial;
  td.append(link);
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

// A time as the station or the server wrote it, its month, day and clock: "12-11 11:50:05".
function when(iso) {
  return iso ? iso.slice(5, 10) + " " + iso.slice(11, 19) : "-";
}

// A shift's bounds, "06:00–14:00"; the whole day when no shifts are set.
function shift(from, to) {
  const begin = from.slice(11, 16);
  const end = to.slice(11, 16);
  return begin === end ? "하루" : begin + "–" + end;
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
    cell(row, when(s.last_seen));
    cell(row, s.master);
    serialCell(row, s.serial);
    cell(row, s.verdict, verdictClass(s.verdict));
    cell(row, when(s.verdict_at));
    cell(row, shift(s.shift_from, s.shift_to));
    cell(row, String(s.tested), "number");
    cell(row, s.yield, "number");
    cell(row, s.first_pass, "number");
    badge(row, s.line_stop && "정지 (" + s.line_stop.code + ")", "stop",
          s.line_stop && s.line_stop.rule);
    badge(row, s.drift, "alarm");
    badge(row, s.wave_alarm && "파형 경고", "alarm");
  }
  document.getElementById("state").textContent =
    stations.length === 0 ? "기록을 보낸 스테이션이 없습니다." : "";
}

// One read at a time: records told while a read is under way make one more read after it, so a
// busy line costs each page a read per answer, not one per record.
let reading = false;
let toldSince = false;

async function refresh() {
  if (reading) {
    toldSince = true;
    return;
  }
  reading = true;
  try {
    do {
      toldSince = false;
      const answer = await readApi("/api/line");
      if (answer) show(answer.stations);
    } while (toldSince);
  } finally {
    reading = false;
  }
}

refresh();

// Each record a station sends is told here as it arrives; the browser opens the stream again
// when it breaks.
new EventSource("/api/events").addEventListener("record", refresh);
