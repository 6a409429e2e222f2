# Berechnet die monatlichen Raten für ein Darlehen.
# Hinweis: Zinssätze werden als Dezimalzahl übergeben (z. B. 0.035 für 3,5 %).

def monatliche_rate(betrag, zinssatz, laufzeit_jahre):
    """Gibt die gleichbleibende Monatsrate zurück (Annuitätendarlehen)."""
    monate = laufzeit_jahre * 12
    if zinssatz == 0:
        return betrag / monate
    q = 1 + zinssatz / 12
    return betrag * q ** monate * (q - 1) / (q ** monate - 1)


if __name__ == "__main__":
    # Beispiel: 200.000 € über 20 Jahre zu 3,5 % – Ergebnis grob 1.160 € pro Monat
    print(f"Rate: {monatliche_rate(200000, 0.035, 20):.2f} Euro")
