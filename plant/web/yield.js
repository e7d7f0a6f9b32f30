// 수율: the counts of the period in the address (?from=&to=&by=) by station, master, shift or
// day, and its N.G Pareto as bars, from /api/yield; the page's choices written back to the
// address so that the link can be sent. Whatever a station wrote goes in as text.
"use strict";

const GROUP_TITLES = { station: "스테이션", master: "마스터", shift: "교대", day: "일자" };
const form = document.getElementById("period");
let shiftNow = null;

function cell(row, text, className) {
  const td = row.insertCell();
  td.textContent = text;
  if (className) td.className = className;
}

function pad(number) {
  return String(number).padStart(2, "0");
}

// A local time as the form and the API take it: "2026-12-11T06:00".
function local(date) {
  return date.getFullYear() + "-" + pad(date.getMonth() + 1) + "-" + pad(date.getDate()) +
    "T" + pad(date.getHours()) + ":" + pad(date.getMinutes());
}

function midnight(daysFromToday) {
  const day = new Date();
  day.setHours(0, 0, 0, 0);
  day.setDate(day.getDate() + daysFromToday);
  return day;
}

function fillRow(row, r, group) {
  cell(row, group);
  cell(row, String(r.tested), "number");
  cell(row, r.yield, "number");
  cell(row, r.first_pass, "number");
  cell(row, String(r.units), "number");
  cell(row, r.final_yield, "number");
  cell(row, String(r.passed_on_retest), "number");
}

function showTable(answer) {
  document.getElementById("group-title").textContent = GROUP_TITLES[answer.by];
  const body = document.getElementById("rows");
  body.replaceChildren();
  for (const r of answer.rows) fillRow(body.insertRow(), r, r.group);
  const total = document.getElementById("total");
  total.replaceChildren();
  fillRow(total.insertRow(), answer.total, "합계");
  document.getElementById("state").textContent =
    answer.rows.length === 0 ? "이 기간의 검사 기록이 없습니다." : "";
}

// Each way of counting the N.G units, its bars longest first, the longest the full width.
function showPareto(pareto) {
  document.getElementById("ng-units").textContent = "(N.G 대수 " + pareto.ng_units + ")";
  const box = document.getElementById("pareto");
  box.replaceChildren();
  for (const kind of pareto.by) {
    const section = document.createElement("section");
    const title = document.createElement("h3");
    title.textContent = kind.title;
    section.append(title);
    const most = kind.bars.length ? kind.bars[0].units : 1;
    for (const bar of kind.bars) {
      const line = document.createElement("div");
      line.className = "bar-line";
      const label = document.createElement("span");
      label.className = "bar-label";
      label.textContent = bar.label === "" ? "-" : bar.label;
      const track = document.createElement("span");
      track.className = "bar-track";
      const fill = document.createElement("span");
      fill.className = "bar";
      fill.style.width = (100 * bar.units / most) + "%";
      track.append(fill);
      const count = document.createElement("span");
      count.className = "bar-count";
      count.textContent = String(bar.units);
      line.append(label, track, count);
      section.append(line);
    }
    if (!kind.bars.length) section.append("없음");
    box.append(section);
  }
}

function asked() {
  const params = new URLSearchParams();
  for (const name of ["from", "to", "by"]) {
    const value = document.getElementById(name).value;
    if (value) params.set(name, value);
  }
  return params;
}

// The address and the CSV links carry the period the answer counted.
function keep(params) {
  history.replaceState(null, "", "/yield?" + params);
  document.getElementById("csv").href = "/api/yield.csv?" + params;
  document.getElementById("pareto-csv").href = "/api/yield.csv?table=pareto&" + params;
}

async function load() {
  document.getElementById("state").textContent = "계산 중";
  const answer = await readApi("/api/yield?" + asked());
  if (!answer) return;
  document.getElementById("from").value = answer.from;
  document.getElementById("to").value = answer.to;
  keep(asked());
  shiftNow = answer.shift_now;
  showTable(answer);
  showPareto(answer.pareto);
}

function quick(which) {
  let from = local(midnight(0));
  let to = local(midnight(1));
  if (which === "week") {
    const back = (new Date().getDay() + 6) % 7;
    from = local(midnight(-back));
    to = local(midnight(7 - back));
  } else if (which === "shift" && shiftNow) {
    from = shiftNow.from;
    to = shiftNow.to;
  }
  document.getElementById("from").value = from;
  document.getElementById("to").value = to;
  load();
}

form.addEventListener("submit", (event) => {
  event.preventDefault();
  load();
});
for (const button of form.querySelectorAll("[data-quick]")) {
  button.addEventListener("click", () => quick(button.dataset.quick));
}
const address = new URLSearchParams(window.location.search);
for (const name of ["from", "to", "by"]) {
  const value = address.get(name) || "";
  // A day alone is its midnight, which the form's field takes.
  const day = /^\d{4}-\d\d-\d\d$/.test(value);
  if (value) document.getElementById(name).value = day ? value + "T00:00" : value;
}
load();
