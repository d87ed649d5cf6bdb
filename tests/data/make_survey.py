#!/usr/bin/env python3
"""Writes the test survey in every layout the way the tools people use write it.

One survey: two sites, two years, two groups, quadrats numbered 1-3 in each
(the numbers repeat across sites, years and groups): 24 quadrats. Covers are
percent, with the field codes "+" and "r"; hazel is recorded in two layers in
the woodland quadrats (two records of one species in one quadrat).

  survey_long.csv        R's write.csv of a long data frame (row names, quotes)
  survey_long_excel.csv  European Excel's "CSV (semicolon)": BOM, CRLF, decimal
                         commas, headers as typed on a field sheet
  survey_wide.csv        species as rows, quadrats as columns, header rows for
                         site, year, group and quadrat (as a spreadsheet keeps it)
  survey_matrix.csv      R's write.csv of a community matrix (one row per quadrat,
                         one column per species, names made syntactic, 0 = absent)
"""
import random

rng = random.Random(26)
woodland = ["Quercus robur", "Corylus avellana", "Fraxinus excelsior", "Hedera helix",
            "Mercurialis perennis", "Hyacinthoides non-scripta", "Rubus fruticosus",
            "Anemone nemorosa", "Crataegus monogyna", "Pteridium aquilinum"]
chalk = ["Festuca ovina", "Bromopsis erecta", "Brachypodium pinnatum", "Sanguisorba minor",
         "Lotus corniculatus", "Helianthemum nummularium", "Carex flacca", "Koeleria macrantha",
         "Plantago lanceolata", "Cirsium acaule", "Asperula cynanchica"]
covers = ["+", "r", "1", "2", "3", "5", "8", "10", "15", "20", "25", "30", "40", "0.5"]

samples = []  # (site, year, group, quadrat, [(species, cover)])
for site, pool in (("Leith Hill Place Wood", woodland), ("Box Hill Chalk Bank", chalk)):
    for year in (1971, 1972):
        for group in ("A", "B"):
            for quadrat in (1, 2, 3):
                chosen = sorted(rng.sample(pool, rng.randint(6, 9)), key=pool.index)
                recs = [(sp, rng.choice(covers)) for sp in chosen]
                if pool is woodland and "Corylus avellana" in chosen:
                    recs.append(("Corylus avellana", rng.choice(["5", "10", "20"])))  # shrub layer
                samples.append((site, year, group, quadrat, recs))

species = []
for s in samples:
    for sp, _ in s[4]:
        if sp not in species:
            species.append(sp)


def q(text):
    return '"' + text.replace('"', '""') + '"'


# Long, as R writes it; the shrub-layer records come after all others, so a
# quadrat's rows are not all together.
with open("survey_long.csv", "w", newline="") as f:
    f.write('"","Site","Year","Group","Quadrat","Species","Cover"\n')
    rows = []
    late = []
    for site, year, group, quadrat, recs in samples:
        seen = set()
        for sp, cover in recs:
            target = late if sp in seen else rows
            seen.add(sp)
            target.append((site, year, group, quadrat, sp, cover))
    for n, (site, year, group, quadrat, sp, cover) in enumerate(rows + late, 1):
        value = cover if cover[0].isdigit() else q(cover)
        f.write(f'{q(str(n))},{q(site)},{year},{q(group)},{quadrat},{q(sp)},{value}\n')

# Long, as European Excel saves it.
with open("survey_long_excel.csv", "w", newline="", encoding="utf-8-sig") as f:
    f.write("Site;Year;Group;Quadrat no.;Latin name;Cover (%)\r\n")
    for site, year, group, quadrat, recs in samples:
        for sp, cover in recs:
            f.write(f"{site};{year};{group};{quadrat};{sp};{cover.replace('.', ',')}\r\n")

# Wide: a column per quadrat, a row per species record (hazel twice where it was
# recorded in two layers).
cols = samples
with open("survey_wide.csv", "w", newline="") as f:
    f.write("Site," + ",".join(s[0] for s in cols) + "\n")
    f.write("Year," + ",".join(str(s[1]) for s in cols) + "\n")
    f.write("Group," + ",".join(s[2] for s in cols) + "\n")
    f.write("Quadrat," + ",".join(str(s[3]) for s in cols) + "\n")
    f.write("Species" + "," * len(cols) + "\n")
    for layer in (0, 1):
        for sp in species:
            cells = []
            for s in cols:
                hits = [c for name, c in s[4] if name == sp]
                cells.append(hits[layer] if len(hits) > layer else "")
            if layer == 1 and not any(cells):
                continue
            f.write(sp + "," + ",".join(cells) + "\n")

# Matrix, as R writes a community data frame: syntactic names (hazel's second
# layer made unique as R does), 0 where a species is absent.
def syntactic(name):
    return "".join(c if c.isalnum() else "." for c in name)

mcols = [(sp, 0) for sp in species] + [("Corylus avellana", 1)]
headers = [syntactic(sp) + (".1" if layer else "") for sp, layer in mcols]
with open("survey_matrix.csv", "w", newline="") as f:
    f.write('"","Site","Year","Group","Quadrat",' + ",".join(q(h) for h in headers) + "\n")
    for n, (site, year, group, quadrat, recs) in enumerate(samples, 1):
        cells = []
        for sp, layer in mcols:
            hits = [c for name, c in recs if name == sp]
            c = hits[layer] if len(hits) > layer else "0"
            cells.append(c if c[0].isdigit() else q(c))
        f.write(f'{q(str(n))},{q(site)},{year},{q(group)},{quadrat},' + ",".join(cells) + "\n")
