#pragma once
// Texts long enough for the encoding detector to recognise their code page,
// for tests that save and reopen files in legacy encodings.

#include <string>

namespace test_support {

inline const std::string RUSSIAN =
    "Вчера вечером мы долго гуляли по старому парку. Листья уже пожелтели, и ветер медленно кружил их над "
    "дорожками. Бабушка рассказывала нам о том, как в молодости она работала учительницей в маленькой деревне.";
inline const std::string FRENCH =
    "Le matin, nous sommes allés au marché près de la rivière. Les légumes étaient frais et les fruits très "
    "mûrs. Ma grand-mère a acheté des pêches, des poires et un gâteau à la crème; le garçon était très agréable.";

}  // namespace test_support
