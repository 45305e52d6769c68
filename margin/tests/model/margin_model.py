#!/usr/bin/env python3
"""A second computation of the margin library's figures.

Generates random portfolios (classes, a firm's rules, money and securities
limits, prices), computes every row figure and every planned-trade figure
from the rules directly, runs the same portfolios through the library (the
driver program), and compares: integers and flags exactly, figures within
1e-9 (relative to their size, at least 1).

Usage: margin_model.py --driver PATH [--count N] [--seed S]
"""

import argparse
import collections
import math
import random
import subprocess
import sys

INT32_MAX = 2**31 - 1
INT32_MIN = -(2**31)

# How often the model took each path, to show that the portfolios reach them.
HITS = collections.Counter()

# ---------------------------------------------------------------- generation

QUARTERS = [x / 4 for x in range(1, 2000)]


def price_or_missing(rng):
    return 0.0 if rng.random() < 0.15 else rng.choice(QUARTERS) + rng.choice([0, 0.5, 0.125])


def generate(rng):
    """One portfolio as plain data."""
    sc = {"type": rng.choice([1, 2])}
    codes = ["SBER", "GAZP", "LKOH", "ROSN", "VTBR", "MGNT", "YNDX", "OFZA", "OFZB", "PLZL"]
    class_codes = ["TQBR", "TQOB", "SMAL", "EQDB"]
    n_classes = rng.randint(1, 3)
    unique_codes = rng.random() < 0.5
    classes = []
    pool = codes[:]
    rng.shuffle(pool)
    sec_id = 100
    for ci in range(n_classes):
        n = rng.randint(0, 4)
        if unique_codes:
            chosen, pool = pool[:n], pool[n:]
        else:
            chosen = rng.sample(codes, n)
        secs = []
        for code in chosen:
            sec_id += 1
            secs.append({"id": sec_id, "code": code, "lot": rng.choice([1, 1, 1, 10, 0, -1]),
                         "face": rng.choice([100.0, 1000.0, 0.0])})
        classes.append({"id": 10 * (ci + 1), "code": class_codes[ci], "flags": 1 if rng.random() < 0.3 else 0,
                        "secondary": rng.choice([0, 1]), "secs": secs})
    sc["classes"] = classes
    all_codes = sorted({s["code"] for c in classes for s in c["secs"]}) or ["SBER"]

    def class_list():
        entries = []
        for c in rng.sample(classes, rng.randint(0, len(classes))):
            if rng.random() < 0.2:
                entries.append({"class": c["code"], "all": True, "codes": []})
            else:
                names = [s["code"] for s in c["secs"]]
                picked = rng.sample(names, rng.randint(0, len(names)))
                if rng.random() < 0.2:
                    picked.append("NOPE")
                entries.append({"class": c["code"], "all": False, "codes": picked})
        if rng.random() < 0.1:
            entries.append({"class": "ABSENT", "all": False, "codes": ["SBER"]})
        return entries

    def lists():
        return {"margin": class_list(), "asset": class_list() if rng.random() < 0.8 else [],
                "rest": class_list() if rng.random() < 0.4 else []}

    client = "CL" + str(rng.randint(10, 99))
    sc["client"] = client
    rules = {
        "lots": rng.random() < 0.6, "checkmax": rng.random() < 0.5, "volume": rng.random() < 0.3,
        "creditlag": rng.choice([1, 2]), "rstrn": rng.choice([None, True, False]),
        "main": None, "lists": lists(), "section": None,
        "exact_lags": {}, "prefix_lags": {}, "weights": {},
        "tags1": [], "tags2": [], "tags3": [], "acc2": [], "acc3": [],
    }
    if not unique_codes or rng.random() < 0.5:
        order = [c["code"] for c in classes]
        rng.shuffle(order)
        rules["main"] = order
    if rng.random() < 0.6:
        code = client if rng.random() < 0.6 else client[:3] + "*"
        rules["section"] = {"code": code, "rstrn": rng.choice([None, True, False]),
                            "ignore": rng.random() < 0.3, "lists": lists()}
    lag_choice = rng.random()
    if lag_choice < 0.3:
        rules["exact_lags"][client] = rng.choice([1, 2])
    elif lag_choice < 0.6:
        rules["prefix_lags"][client[:2]] = rng.choice([1, 2])
    for code in rng.sample(all_codes, rng.randint(0, len(all_codes))):
        rules["weights"][code] = (rng.choice([0.25, 0.5, 0.75, 1.0, 1.5, -0.5]), rng.choice([1.0, 1.25, 1.5, 2.0, 0.5]))
    if rng.random() < 0.6:
        rules["tags1"] = ["EQTV"] + (["TQBR"] if rng.random() < 0.5 else [])
        if rng.random() < 0.5:
            rules["tags2"] = ["ADDL"]
        if rng.random() < 0.5:
            rules["tags3"] = ["REPT"]
        if rng.random() < 0.5:
            rules["acc2"] = ["ACC2"]
        if rng.random() < 0.5:
            rules["acc3"] = ["ACC3"]
    sc["rules"] = rules

    tags = ["EQTV", "TQBR", "ADDL", "REPT", "ZZZZ"]
    sc["money"] = []
    for i in range(rng.randint(0, 4)):
        amounts = [rng.randint(-400, 40000) * 25 for _ in range(5)] + [rng.randint(0, 2000) * 25]
        sc["money"].append({"tag": rng.choice(tags), "currency": "C%d" % i, "amounts": amounts,
                            "pct": rng.choice([-1, 0, 50, 150, 300])})
    accounts = ["", "", "ACC2", "ACC3", "OTHR"]
    sc["depo"] = []
    for code in rng.sample(all_codes + ["UNKN"], rng.randint(0, len(all_codes) + 1)):
        for account in rng.sample(accounts, rng.randint(1, 2)):
            q = [rng.randint(-20, 20) for _ in range(6)]
            sc["depo"].append({"code": code, "account": account, "q": q, "g": rng.randint(-100, 400) * 25})
    sc["prices"] = {}
    for c in classes:
        for s in c["secs"]:
            sc["prices"][s["id"]] = {"OFFER": price_or_missing(rng), "BID": price_or_missing(rng),
                                     "PREVPRICE": price_or_missing(rng), "LAST": price_or_missing(rng),
                                     "ACCRUEDINT": rng.choice([0.0, 2.5, 12.75])}
    sc["size"] = rng.choice([248, 264, 272, 280])
    sc["activities"] = []
    for c in classes:
        for s in c["secs"]:
            sc["activities"].append({"class": c["id"], "sec": s["id"], "size": rng.choice([48, 56]),
                                     "price": rng.choice([0.0, 0.0, -1.0, rng.choice(QUARTERS)])})
    sc["activities"].append({"class": 999, "sec": 999, "size": 56, "price": 0.0})
    return sc


def rule_text(r):
    lines = ["[GENERAL]", "CREDITLAG=%d" % r["creditlag"], "LIMITSINLOTS=%d" % r["lots"],
             "CHECKMAXCREDIT=%d" % r["checkmax"]]
    if r["rstrn"] is not None:
        lines.append("RSTRNMBUY=%d" % r["rstrn"])
    if r["main"] is not None:
        lines.append("MAINMARGINCLASSES=" + ",".join(r["main"]))

    def list_lines(entries, suffix=""):
        return ["%s%s=%s" % (e["class"], suffix, "<ALL>" if e["all"] else ",".join(e["codes"])) for e in entries]

    for header, key in (("[LIMITALLOWEDSECURITY]", "margin"), ("[ASSETSECURITIES]", "asset"),
                        ("[RESTSHORTSECURITIES]", "rest")):
        lines.append(header)
        lines += list_lines(r["lists"][key])
    s = r["section"]
    if s is not None:
        lines.append("[CL%s_MARGIN]" % s["code"])
        if s["rstrn"] is not None:
            lines.append("RSTRNMBUY=%d" % s["rstrn"])
        if s["ignore"]:
            lines.append("IGNORERESTSHORTSECURITY=1")
        lines += list_lines(s["lists"]["margin"])
        lines += list_lines(s["lists"]["asset"], "_ASSET")
        lines += list_lines(s["lists"]["rest"], "_RESTSHORT")
    lines.append("[CLIENTLAG]")
    lines += ["%s=%d" % kv for kv in r["exact_lags"].items()]
    lines += ["%s*=%d" % kv for kv in r["prefix_lags"].items()]
    lines.append("[SECURITYWEIGHT]")
    lines += ["%s=%r,%r" % (code, w[0], w[1]) for code, w in r["weights"].items()]
    if r["tags1"]:
        key = r["tags1"][0]
        lines += ["[BOARDTAG]"] + ["%s=1" % t for t in r["tags1"]]
        for header, items in (("[ADDLIMITBOARDS]", r["tags2"]), ("[ADDREPOBOARDS]", r["tags3"]),
                              ("[ADDLIMITTRDACC]", r["acc2"]), ("[ADDREPOTRDACC]", r["acc3"])):
            if items:
                lines += [header, "%s=%s" % (key, ",".join(items))]
    if r["volume"]:
        lines += ["[MISC]", "VOLUME=1"]
    return "\n".join(lines) + "\n"


# ---------------------------------------------------------------- the rules


class Portfolio:
    def __init__(self, sc):
        self.sc = sc
        self.r = sc["rules"]
        self.secs = []  # security table: dicts with class index
        self.classes = []
        for c in sc["classes"]:
            ci = len(self.classes)
            self.classes.append(c)
            for s in c["secs"]:
                self.secs.append(dict(s, cls=ci))
        self.bond = any(c["flags"] & 1 for c in self.classes)
        self.order = self.class_order()

    def class_order(self):
        main = "," + ",".join(self.r["main"]) + "," if self.r["main"] is not None else ""
        def key(ci):
            pos = main.find("," + self.classes[ci]["code"] + ",")
            return pos if pos >= 0 else math.inf
        return sorted(range(len(self.classes)), key=key)

    def class_index(self, code):
        for i, c in enumerate(self.classes):
            if c["code"] == code:
                return i
        return -1

    def resolve(self, entry):
        """(class index, [security index or -1]) of a list entry."""
        ci = self.class_index(entry["class"])
        if ci < 0:
            return ci, [-1] * len(entry["codes"])
        if entry["all"]:
            return ci, [-1] * len(entry["codes"]) + [i for i, s in enumerate(self.secs) if s["cls"] == ci]
        found = []
        for code in entry["codes"]:
            match = [i for i, s in enumerate(self.secs) if s["cls"] == ci and s["code"] == code]
            found.append(match[0] if match else -1)
        return ci, found

    # set: "firm" or "client"; lists of the set
    def own(self, who, kind):
        if who == "firm":
            return self.r["lists"][kind]
        return self.r["section"]["lists"][kind]

    def margin_list(self, who):
        own = self.own(who, "margin")
        return own if own else self.r["lists"]["margin"]

    def by_code(self, entries, code):
        for ci in self.order:
            first = [e for e in entries if e["class"] == self.classes[ci]["code"]]
            if not first:
                continue
            _, found = self.resolve(first[0])
            for si in found:
                if si >= 0 and self.secs[si]["code"] == code:
                    return si
        return -1

    def holds(self, entries, si):
        ci = self.secs[si]["cls"]
        for e in entries:
            eci, found = self.resolve(e)
            if eci == ci and (e["all"] or si in found):
                return True
        return False

    def asset_list(self, who):
        own = self.own(who, "asset")
        if own:
            return own
        if self.r["lists"]["asset"]:
            return self.r["lists"]["asset"]
        return None

    def margin_by_code(self, who, code):
        return self.by_code(self.margin_list(who), code)

    def asset_by_code(self, who, code):
        lst = self.asset_list(who)
        return self.by_code(lst, code) if lst is not None else self.margin_by_code(who, code)

    def is_margin(self, who, si):
        return self.holds(self.margin_list(who), si)

    def is_asset(self, who, si):
        lst = self.asset_list(who)
        return self.holds(lst, si) if lst is not None else self.is_margin(who, si)

    def is_restricted(self, who, si):
        if who == "client" and self.r["section"]["ignore"]:
            return False
        own = self.own(who, "rest")
        return self.holds(own if own else self.r["lists"]["rest"], si)

    def rstrnmbuy(self, who):
        if who == "client" and self.r["section"]["rstrn"] is not None:
            return self.r["section"]["rstrn"]
        return self.r["rstrn"] is True

    def governing_set(self, client):
        s = self.r["section"]
        if s is None:
            return "firm"
        if not s["code"].endswith("*"):
            return "client" if s["code"].lower() == client.lower() else "firm"
        return "client" if client.lower().startswith(s["code"][:-1].lower()) else "firm"

    def lag(self, client):
        if client in self.r["exact_lags"]:
            return self.r["exact_lags"][client]
        best = None
        for prefix, lag in self.r["prefix_lags"].items():
            if client.startswith(prefix) and (best is None or len(prefix) > len(best[0])):
                best = (prefix, lag)
        return best[1] if best else self.r["creditlag"]

    def tag_kind(self, tag):
        r = self.r
        if not r["tags1"]:
            return 1
        kinds = {}
        for t in r["tags1"]:
            kinds.setdefault(t, 1)
        for t in r["tags2"]:
            kinds.setdefault(t, 2)
        for t in r["tags3"]:
            kinds.setdefault(t, 3)
        return kinds.get(tag, 0)

    def account_kind(self, account):
        kinds = {}
        if self.r["tags1"]:
            for a in self.r["acc2"]:
                kinds.setdefault(a, 2)
            for a in self.r["acc3"]:
                kinds.setdefault(a, 3)
        return kinds.get(account, 1)

    def weight(self, code):
        if code not in self.r["weights"]:
            return 1.0, 1.0
        w1, w2 = self.r["weights"][code]
        if not (0 <= w1 <= 1):
            w1 = 1.0
        if w2 < 1.0:
            w2 = 1.0
        return w1, w2

    def secondary(self, code):
        for ci in self.order:
            if not self.classes[ci]["secondary"]:
                continue
            for i, s in enumerate(self.secs):
                if s["cls"] == ci and s["code"] == code:
                    return i
        return -1

    # ---- prices

    def value(self, si, name):
        return self.sc["prices"][self.secs[si]["id"]][name]

    def convert(self, si, price):
        s = self.secs[si]
        if self.classes[s["cls"]]["flags"] & 1:
            return self.value(si, "ACCRUEDINT") + s["face"] * price * 0.01
        return price

    def prices(self, si):
        """(offer, bid, previous, current, unit) or None without a price."""
        def missing(p):
            return not p >= 1e-8
        offer, bid = self.value(si, "OFFER"), self.value(si, "BID")
        prev, last = self.value(si, "PREVPRICE"), self.value(si, "LAST")
        if missing(prev) and missing(last):
            return None
        current = last if not missing(last) else (offer if not missing(offer) else prev)
        if missing(offer):
            offer = last if not missing(last) else prev
        if missing(bid):
            bid = last if not missing(last) else prev
        if missing(prev):
            prev = last
        lot = self.secs[si]["lot"]
        unit = float(lot) if self.r["lots"] and lot > 0 else 1.0
        return (self.convert(si, offer), self.convert(si, bid), self.convert(si, prev), self.convert(si, current),
                unit)


FIGURES = [40 + 8 * i for i in range(30)]


def lag2_limit(f, u):
    lv = f[56]
    l = max(lv, 0.0)
    pv = f[104]
    n = f[72] - f[160]
    ff = f[40] + f[72] - f[136]
    if pv <= 0:
        HITS["lag-2 limit: no portfolio"] += 1
        return 0.0
    HITS["lag-2 limit: leverage" if lv > 0 else "lag-2 limit: no leverage"] += 1
    c1 = c2 = s = 0.0
    if l <= 0:
        c1 = c2 = ff if (ff >= 0 and n >= 0) else 0.0
    else:
        if ff >= 0:
            c1 = 0.0
            if u <= 0:
                c1 = 0.0 if (ff < pv + u or n < 0) else min(ff, pv)
            c2 = min(ff, n / l + pv + u)
            if c2 < 0:
                c2 = 0.0
        if pv > ff:
            s = ((pv + u) * l + ff + n) / (l + 1)
            if s > ff:
                s = max(min(s, pv + u), 0.0)
            else:
                s = 0.0
    y1 = max(c1, c2, s, 0.0)
    h = pv - f[96] - f[152]
    if l <= 0:
        y2 = h - f[208]
    else:
        z = pv + u
        b = z - f[208] / l
        t = (z * l + h - f[208]) / (l + 1)
        if not t > b:
            z = 0.0
        elif t < z:
            z = t
        y2 = max(h - f[208] if h - f[208] >= pv + u else 0.0, min(h, b), z)
    return min(y1, y2)


def row_figures(p, client, size):
    """(lag2 byte, leverage byte, {offset: figure})."""
    sc, r = p.sc, p.r
    who = p.governing_set(client)
    lag2 = 1 if p.lag(client) == 2 else 0
    f = {o: 0.0 for o in FIGURES}
    lev_byte = 0
    sa = sb = sc_ = sd = se = sf = sa13 = sc13 = 0.0
    for m in sorted(sc["money"], key=lambda m: (m["currency"], m["tag"])):
        k = p.tag_kind(m["tag"])
        if k == 0:
            continue
        a, b, c, d, e, ff = m["amounts"]
        sa += a; sb += b; sc_ += c; sd += d; se += e; sf += ff
        if k in (1, 3):
            sa13 += a
            sc13 += c
        if not lev_byte and k == 1 and sc["type"] == 2 and m["pct"] >= 0:
            f[56] = m["pct"] * 0.01
            lev_byte = 1
    f[216] = sa * 0.01
    f[224] = sc_ * 0.01
    f[248] = sc13 * 0.01
    f[256] = se * 0.01
    p13 = pall = shorts = longs = 0.0
    for d in sorted(sc["depo"], key=lambda d: (d["code"], d["account"])):
        code = d["code"]
        si = p.asset_by_code(who, code)
        if si >= 0:
            asset, margin = True, p.is_margin(who, si)
        else:
            asset = False
            si = p.margin_by_code(who, code)
            margin = si >= 0
            if si < 0:
                si = p.secondary(code)
                if si < 0:
                    continue
        pr = p.prices(si)
        if pr is None:
            continue
        offer, bid, prev, _, unit = pr
        kind = p.account_kind(d["account"])
        own = kind in (1, 3)
        lf, shf = p.weight(code)
        oq, q1, cq, q2, q3, _ = d["q"]
        wq = float(cq) if lag2 else float(cq + q2 - q1)
        if oq < 0:
            ov = oq * prev * unit
            t = ov * shf
            if own:
                p13 += t
            pall += t
            f[216] += ov
        elif oq > 0:
            ov = oq * prev * unit
            t = ov * lf
            if asset:
                if own:
                    p13 += t
                pall += t
            f[216] += ov
        if wq < 0:
            cv = wq * offer * unit
            t = cv * shf
            if own:
                f[72] += t
            shorts += t
            f[224] += cv
        elif wq > 0:
            cv = wq * bid * unit
            t = cv * lf
            if asset:
                if own:
                    f[88 if margin else 96] += t
                    f[80] += t
                longs += t
            f[224] += cv
        if asset:
            g = d["g"] * 0.01 + min(wq, 0.0) * offer * unit
            if g > 0:
                f[144 if margin else 152] += g
                f[136] += g
        f[160] += max(q3 - max(wq, 0.0), 0.0) * offer * unit
    f[48] = sa13 * 0.01 + pall
    x = sa * 0.01 + p13
    if not lev_byte:
        f[56] = 0.0 if x < 1e-8 else sb * 0.01 / x
    f[64] = sb * 0.01
    w13 = sc13 * 0.01
    held = sf * 0.01
    f[40] = w13 - held
    f[104] = f[72] + f[80] + f[40]
    rr = sc_ * 0.01 - held + longs + shorts
    u = rr - f[104]
    if f[104] >= 0 and rr < 0:
        rr = 0.0
    f[120] = f[56] * rr
    v = f[72] + f[40] - f[136]
    f[128] = f[184] = f[120] + f[72] - f[160] + min(v, 0.0)
    if f[80] + max(w13, 0.0) > 0:
        f[112] = (f[72] + f[80] + w13) / (f[80] + max(w13, 0.0)) * 100
    else:
        f[112] = -99.0 if f[72] + f[80] + w13 < 0 else 100.0
    f[168] = held
    HITS["lag-2 row" if lag2 else "lag-1 row"] += 1
    if lag2:
        f[176] = f[128] + max(v, 0.0)
        f[208] = f[160] - f[72] + f[144] + f[88]
        y = f[120] - f[208]
        f[200] = f[104] + min(y, 0.0) - f[96] - f[152]
        f[192] = lag2_limit(f, u)
    else:
        e1 = se * 0.01
        f[176] = (sc_ + sd) * 0.01 - e1
        f[192] = sc_ * 0.01 - e1 + (f[72] if r["volume"] else 0.0)
    f[264] = -1.0 if f[112] <= 0 else 100 / f[112] - 1
    f[272] = u
    for o in FIGURES:
        if o + 8 > size:
            f[o] = 0.0
    return lag2, lev_byte, f


def div(a, b):
    """IEEE division, as the library's doubles divide (no exception on 0)."""
    if b == 0:
        if a == 0 or math.isnan(a):
            return math.nan
        return math.copysign(math.inf, a) * math.copysign(1.0, b)
    return a / b


def trunc(x):
    if math.isnan(x):
        return 0
    if x >= INT32_MAX:
        return INT32_MAX
    if x <= INT32_MIN:
        return INT32_MIN
    return int(x)


def clamp32(n, low=INT32_MIN):
    return max(low, min(INT32_MAX, n))


def activity(p, client, row, a):
    """The driver's activity line as a tuple."""
    lag2, lev_byte, f = row
    sc = p.sc
    who = p.governing_set(client)
    matches = [i for i, s in enumerate(p.secs) if p.classes[s["cls"]]["id"] == a["class"] and s["id"] == a["sec"]]
    if not matches:
        return (0, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0.0, 0.0)
    si = matches[0]
    margin = p.is_margin(who, si)
    asset = p.is_asset(who, si)
    restricted = margin and p.is_restricted(who, si)
    flags = (int(margin), int(asset), int(restricted))
    pr = p.prices(si)
    if pr is None:
        return (1, 0, 0, 8) + flags + (0, 0, 0, 0.0, 0.0)
    offer, bid, prev, current, unit = pr
    given = a["price"] > 0
    given_price = p.convert(si, a["price"]) if given else 0.0
    size = sc["size"]
    code = p.secs[si]["code"]
    tot = [0, 0, 0, 0, 0, 0]
    for d in sc["depo"]:
        if d["code"] == code and p.account_kind(d["account"]) == 1:
            tot = [x + y for x, y in zip(tot, d["q"])]
    oq, q1, cq, q2, q3, q4 = tot
    price = given_price if given else offer
    checkmax = p.r["checkmax"]
    if lag2:
        working = cq
        m = min(cq, 0)
        debt = min(q4 + m, 0)
        HITS["lag-2 buy: " + ("margin asset" if margin and asset else "asset" if asset else
                              "restricted non-margin" if not margin and p.rstrnmbuy(who) and size >= 264 else
                              "debt covered" if cq < 0 else "plain")] += 1
        if margin and asset:
            v = div(f[176], unit) - m * offer
            if not v > 0:
                v = 0.0
            b = div(v - debt * offer, price)
        elif asset and not margin:
            b = float(-debt) if debt < 0 else div(f[200], unit * price)
        elif not asset and not margin and p.rstrnmbuy(who) and size >= 264:
            b = float(-debt) if cq < 0 else max(div(min(f[192], f[248] - f[256]), unit * price), 0.0)
        elif cq < 0:
            copy = {o: (f[o] if o < 248 else 0.0) for o in FIGURES}
            s = debt * offer * unit
            copy[40] += s
            copy[208] += s
            copy[72] -= s
            b = max(div(lag2_limit(copy, 0.0), unit * price), 0.0) - debt
        else:
            b = max(div(f[192], unit * price), 0.0)
        buy = trunc(b)
        if checkmax and not lev_byte and f[64] > 0 and size >= 264:
            buy = min(buy, trunc(div(f[248] - f[256] + f[64], unit * price)))
        buy = max(buy, -debt)
        sell_price = given_price if given else bid
        base = max(cq - q3, 0)
        if margin and not restricted:
            n = max(sell_price, bid) * unit
            HITS["lag-2 sell: " + ("asset or flat/short" if asset or cq <= 0 else "long non-asset")] += 1
            if asset or cq <= 0:
                k = min(div(abs(min(f[72] + f[40], 0.0)), n), float(max(cq, 0)))
                z = div(f[184], n) + k
            else:
                pv = max(cq, 0) * bid * unit + f[40]
                aa = f[80] + pv + f[72] + (f[272] if size == 280 else 0.0)
                if aa < 0 and not (f[80] + pv + f[72] < 0):
                    aa = 0.0
                free = f[56] * aa + f[72] - f[160] + min(pv + f[72] - f[136], 0.0)
                k = min(div(abs(min(pv + f[72], 0.0)), n), float(max(cq, 0)))
                if k > 0:
                    HITS["lag-2 sell: uncovered long"] += 1
                z = div(free, n) + k
            if not z > 0:
                z = 0.0
            sell = trunc(z + base)
        else:
            sell = base
        if checkmax and q1 > 0:
            HITS["lag-2 sell: credit check"] += 1
            sell = min(sell, q1 + cq - q3)
        sell = max(sell, base)
    else:
        working = cq + q2 - q1
        buy = trunc(div(f[176] if margin else f[192], unit * price))
        sell = max(cq + q2 - q3, 0)
    working = clamp32(working)
    cur_value = working * current * unit if working != 0 else 0.0
    prev_value = (working * prev * unit if working != 0 else 0.0) if a["size"] == 56 else 0.0
    return (1, 0, 1, 0) + flags + (working, clamp32(buy, 0), clamp32(sell, 0), cur_value, prev_value)


# ---------------------------------------------------------------- driver


def script(sc):
    out = ["scenario", "init %d" % sc["type"]]
    for c in sc["classes"]:
        out.append("class %d %d %s %d %d" % (c["id"], c["flags"], c["code"], c["secondary"], len(c["secs"])))
        for s in c["secs"]:
            out.append("sec %r %d %d %s" % (s["face"], s["id"], s["lot"], s["code"]))
    out.append("rules F1 " + rule_text(sc["rules"]).encode("ascii").hex())
    for c in sc["classes"]:
        for s in c["secs"]:
            for name, value in sc["prices"][s["id"]].items():
                out.append("param %d %d %s %r" % (c["id"], s["id"], name, value))
    for m in sc["money"]:
        out.append("money F1 %s %s %s %s %d" % (sc["client"], m["tag"], m["currency"],
                                                " ".join(str(a) for a in m["amounts"]), m["pct"]))
    for d in sc["depo"]:
        out.append("depo F1 %s %s %s %s %d" % (sc["client"], d["code"], d["account"] or "-",
                                               " ".join(str(q) for q in d["q"]), d["g"]))
    out.append("row F1 %s %d" % (sc["client"], sc["size"]))
    for a in sc["activities"]:
        out.append("actv %d %d %d %r" % (a["class"], a["sec"], a["size"], a["price"]))
    return out


def close(a, b):
    if math.isnan(a) or math.isnan(b):
        return math.isnan(a) and math.isnan(b)
    return abs(a - b) <= 1e-9 * max(1.0, abs(a), abs(b))


def compare(index, sc, lines):
    p = Portfolio(sc)
    row = row_figures(p, sc["client"], sc["size"])
    expected = ["row 1 0 %d %d" % row[:2]] + [None] * len(sc["activities"])
    problems = []
    got = lines[0].split()
    if got[:5] != expected[0].split():
        problems.append("row head: got %s expected %s" % (got[:5], expected[0]))
    for o, value in zip(FIGURES, got[5:]):
        if not close(float(value), row[2][o]):
            problems.append("figure %d: library %s model %r" % (o, value, row[2][o]))
    for a, line in zip(sc["activities"], lines[1:]):
        want = activity(p, sc["client"], row, a)
        have = line.split()[1:]
        ints = [int(x) for x in have[:10]]
        if tuple(ints) != want[:10] or not close(float(have[10]), want[10]) or not close(float(have[11]), want[11]):
            problems.append("activity %r: library %s model %s" % (a, have, want))
    if problems:
        print("scenario %d:\n  %s\n%s" % (index, "\n  ".join(problems), "\n".join(script(sc))))
    return not problems


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--driver", required=True)
    ap.add_argument("--count", type=int, default=400)
    ap.add_argument("--seed", type=int, default=20240611)
    args = ap.parse_args()
    rng = random.Random(args.seed)
    scenarios = [generate(rng) for _ in range(args.count)]
    text = "\n".join(line for sc in scenarios for line in script(sc)) + "\n"
    run = subprocess.run([args.driver], input=text, capture_output=True, text=True, check=False)
    if run.returncode != 0:
        print(run.stdout[-2000:], run.stderr[-4000:])
        return 1
    blocks = run.stdout.split("scenario\n")[1:]
    if len(blocks) != len(scenarios):
        print("driver answered %d of %d scenarios" % (len(blocks), len(scenarios)))
        return 1
    failed = sum(not compare(i, sc, block.strip().split("\n")) for i, (sc, block) in enumerate(zip(scenarios, blocks)))
    print("paths: " + ", ".join("%s %d" % kv for kv in sorted(HITS.items())))
    print("%d of %d portfolios agree" % (len(scenarios) - failed, len(scenarios)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
