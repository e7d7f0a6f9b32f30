// 추적: every test of the serial in the address (?serial=SN), oldest first, from /api/trace; a
// chart a test with its standard and measured waves in the main panel's colours. Whatever a
// station wrote goes in as text, never as markup.
"use strict";

const STANDARD_COLOUR = "#ff0000";
const MEASURED_COLOUR = "#0000ff";

function cell(row, text, className) {
  const td = row.insertCell();
  td.textContent = text === null || text === "" ? "-" : String(text);
  if (className) td.className = className;
}

// A time as the station wrote it: "2026-12-11 11:50:05".
function when(iso) {
  return iso ? iso.slice(0, 10) + " " + iso.slice(11, 19) : "-";
}

function verdictClass(verdict) {
  return verdict === "O.K" ? "ok" : verdict === "N.G" ? "ng" : "";
}

// A wave's samples, or a gap of 300 where the record holds none.
function samples(wave) {
  return wave.length ? wave : new Array(300).fill(null);
}

function chart(box, test) {
  const figure = document.createElement("figure");
  const caption = document.createElement("figcaption");
  caption.textContent = test.station + " · " + when(test.started_at) + " · " + test.verdict;
  figure.append(caption);
  box.append(figure);
  if (!test.standard.length && !test.measured.length) {
    figure.append("파형 없음");
    return;
  }
  const width = Math.min(640, figure.clientWidth);
  const x = Array.from({ length: Math.max(test.standard.length, test.measured.length) },
                       (_, i) => i);
  new uPlot({
    width: width,
    height: 220,
    scales: { x: { time: false } },
    series: [
      { label: "샘플" },
      { label: "표준", stroke: STANDARD_COLOUR, width: 1.5 },
      { label: "측정", stroke: MEASURED_COLOUR, width: 1.5 },
    ],
  }, [x, samples(test.standard), samples(test.measured)], figure);
}

function show(tests) {
  const body = document.getElementById("tests");
  const charts = document.getElementById("charts");
  body.replaceChildren();
  charts.replaceChildren();
  for (const t of tests) {
    const row = body.insertRow();
    cell(row, t.station);
    cell(row, when(t.started_at));
    cell(row, t.master);
    cell(row, t.master_version);
    cell(row, t.attempt, "number");
    cell(row, t.operator);
    cell(row, t.verdict, verdictClass(t.verdict));
    cell(row, t.area, "number");
    cell(row, t.phase, "number");
    chart(charts, t);
  }
  document.getElementById("state").textContent =
    tests.length === 0 ? "이 시리얼의 검사 기록이 없습니다." : "";
}

async function trace(serial) {
  const answer = await readApi("/api/trace?serial=" + encodeURIComponent(serial));
  if (answer) show(answer.tests);
}

const serial = new URLSearchParams(window.location.search).get("serial") || "";
document.getElementById("serial").value = serial;
if (serial) {
  const csv = document.getElementById("csv");
  csv.href = "/api/trace.csv?serial=" + encodeURIComponent(serial);
  csv.hidden = false;
  trace(serial);
}
