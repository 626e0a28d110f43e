set S; param p {S}; param q;
